// Dialog base: a window made from a dialog template and run modally, with
// the handlers the program overrides. Platform-free: every system operation
// goes through ThePlatform().
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <string>

namespace kestrove {

class Dialog;

// The direction of a data exchange between members and controls.
struct DataExchange {
    Dialog& dialog;
    bool m_bSaveAndValidate; // true: controls to members
};

void DDX_Text(DataExchange& dx, int controlId, std::u16string& value);

// Thrown by handlers that have already told the user; nothing more is shown.
struct UserException {};

class Dialog : protected DialogEvents {
public:
    explicit Dialog(int templateId, Dialog* parent = nullptr);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the window from the template, runs it modally and destroys it.
    // Returns the end code, or -1 when the window cannot be created.
    virtual std::intptr_t DoModal();
    virtual bool DestroyWindow();
    void EndDialog(int result);

    WindowHandle GetSafeHwnd() const { return m_hWnd; }
    int templateId() const { return m_nIDTemplate; }

protected:
    virtual bool OnInitDialog();
    virtual bool PreTranslateMessage(Message& msg);
    virtual void DoDataExchange(DataExchange& dx);
    bool UpdateData(bool saveAndValidate);
    // The command part of the message map; false when no handler took it.
    virtual bool OnCommand(std::uint32_t id);
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnSysCommand(std::uint32_t nID, std::intptr_t lParam);
    virtual void OnTimer(TimerId nIDEvent);
    virtual void OnPaint();
    virtual IconHandle OnQueryDragIcon();
    // Hands the message being dispatched to the default window procedure.
    void Default();

    static Platform& platform() { return ThePlatform(); }

    WindowHandle m_hWnd = 0;

private:
    enum class Dispatch { Creation, Painting, MenuCommand, Other };
    template <typename Handler> void Guarded(Dispatch kind, Handler&& handler);
    WindowHandle OwnerWindow() const;

    void deliverCreated(WindowHandle hwnd) override;
    bool deliverInitDialog() override;
    bool deliverPreTranslateMessage(Message& msg) override;
    void deliverCommand(std::uint32_t id) override;
    void deliverSysCommand(std::uint32_t id, std::intptr_t lParam) override;
    void deliverTimer(TimerId id) override;
    bool deliverPaint() override;
    IconHandle deliverQueryDragIcon() override;
    void deliverHelp() override;
    void deliverNcDestroy() override;
    void deliverNotice(std::u16string_view text) override;

    int m_nIDTemplate;
    Dialog* m_pParentWnd;
    std::intptr_t m_nModalResult = -1;
    bool m_bCreationFailed = false;
};

// The help context of a dialog: its template id in the range the help
// engine keeps for dialogs.
std::uint32_t HelpContextOf(const Dialog& dialog);

} // namespace kestrove
