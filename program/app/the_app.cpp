// The process's one application object.
#include "program/app/kestrove_app.h"

kestrove::CKestroveApp theApp;
