#include "wizard/app/SnapferryApp_ui.h"

int main(int argc, char** argv) {
    return RunSnapferry(argc, argv);
}
