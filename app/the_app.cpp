// The process's one application object.
#include "app/kestrove_app.h"

kestrove::CKestroveApp theApp;
