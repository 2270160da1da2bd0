// The application: prepares the framework, runs the mirror window modally and
// ends the process when it closes.
#pragma once

#include "program/framework/application.h"

namespace kestrove {

class CKestroveApp : public Application {
public:
    CKestroveApp();
    bool InitInstance() override;
};

} // namespace kestrove
