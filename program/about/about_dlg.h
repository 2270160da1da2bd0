// The About box: the application icon, the product version read from the
// executable's own version resource, and an OK button.
#pragma once

#include "program/framework/dialog.h"

#include <string>

namespace kestrove {

class CAboutDlg : public Dialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

    std::u16string m_strVersion;

protected:
    void DoDataExchange(DataExchange& dx) override;
    bool OnInitDialog() override;
};

// Adds the separator and the About entry (string 101, command 0x0010) to the
// window's system menu; nothing when there is no menu or no text.
void AppendAboutEntry(WindowHandle hwnd);

} // namespace kestrove
