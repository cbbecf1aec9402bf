// restorix-wizard: the windows, a program of their own so that the commands
// of `restorix` start without loading the Qt libraries. `restorix` with no
// subcommand, or with "wizard", runs this one.

#include "wizard/wizard_main.h"

int main(int argc, char** argv) { return restorix::wizard::runWizard(argc, argv); }
