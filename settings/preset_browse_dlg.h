// "Browsing Preset Entries": lists the stored presets; picking one makes it the current preset,
// "New Setup..." names a new one and "Delete Setup" removes one from the store at once. The
// caller loads and saves on OK.
#pragma once

#include "framework/controls/button.h"
#include "framework/controls/list_box.h"
#include "framework/dialog.h"
#include "settings/registry_encoding.h"

class CPresetBrowseDlg : public CDialog
{
public:
    explicit CPresetBrowseDlg(HWND parent = nullptr);

    char* m_pPresetName = nullptr; // the caller's current preset name, kRegistryTextSize bytes
    bool m_selectionMade = false;  // a preset was picked in the list
    // The presets could not be listed: the browser ended at once with IDABORT, and its caller
    // decides what follows.
    bool m_listFailed = false;

protected:
    const MessageMap& GetMessageMap() const override;
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;

    void OnSelChangeList();
    void OnNewSetup();
    void OnDeleteSetup();
    void ListFailed();

    CButtonCtl m_newSetupButton; // 1021
    CListBoxCtl m_presetList;    // 1020

private:
    // Cancel gives the caller back the name it had when the browser opened, or "Development" when
    // that preset was deleted meanwhile.
    char m_nameAtOpen[kRegistryTextSize] = {};
    bool m_nameAtOpenDeleted = false;
};
