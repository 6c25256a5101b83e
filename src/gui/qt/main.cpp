// zelvar-loader: the desktop firmware loader.
#include <cstdio>
#include <cstdlib>

#include "gui/qt/loader_app.h"

// The application object comes first among the process-wide objects: this file is the
// first the program is linked from, so its constructor runs before those of the image
// objects in the libraries.
static zelvar::CLoaderApp theApp;

int main(int argc, char** argv) {
    int code = theApp.Run(argc, argv);
    // A job still running on the worker thread is neither stopped nor waited for: it
    // ends with the process. Ending here, without the process-wide destructors, keeps
    // those objects alive under it until then. The log file is already closed.
    std::fflush(nullptr);
    std::_Exit(code);
}
