#include "gui/qt/loader_resources.h"

#include <QtCore/qresource.h>

// The resource initialiser lives in a static library, so nothing would pull it into
// the program unless it is called by name.
static void InitCompiledResources() {
    Q_INIT_RESOURCE(zelvar_loader);
}

namespace zelvar {

void InitLoaderResources() {
    static const bool done = (InitCompiledResources(), true);
    (void)done;
}

}  // namespace zelvar
