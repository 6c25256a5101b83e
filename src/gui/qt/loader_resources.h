// The icon and logo compiled into the program from resources/zelvar_loader.qrc.
#pragma once

namespace zelvar {

// Registers the compiled-in pictures; safe to call any number of times.
void InitLoaderResources();

}  // namespace zelvar
