// "New Preset Entry": asks for the name of a new preset. On OK the name is in the caller's buffer,
// on Cancel the buffer holds the empty text. A name the registry cannot hold is refused here, so
// that nothing is stored under half of it.
#pragma once

#include "framework/dialog.h"
#include "settings/registry_encoding.h"

class CPresetNameDlg : public CDialog
{
public:
    // `nameBuffer` has room for kRegistryTextSize bytes.
    CPresetNameDlg(HWND parent, char* nameBuffer);

protected:
    const MessageMap& GetMessageMap() const override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    void OnCancel() override;

public:
    char* m_pPresetName;
    char m_name[kRegistryTextSize] = {};
};
