// The program's entry point: runs the one application object.
#include "app/converter_app.h"

CConverterApp theApp;

int main(int argc, char** argv) {
    return AfxWinMain(argc, argv);
}
