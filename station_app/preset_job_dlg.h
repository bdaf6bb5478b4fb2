// "Job from a preset": the operator picks one of the main window's stored presets and the ports
// it runs on, from those Windows lists. The preset is only read.
#pragma once

#include "framework/dialog.h"

#include <string>
#include <vector>

class CPresetJobDlg : public CDialog
{
public:
    explicit CPresetJobDlg(HWND parent);

    // After OK: the preset chosen and the ports picked, in the list's order.
    const std::string& Preset() const { return m_preset; }
    const std::vector<std::string>& Ports() const { return m_ports; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    std::string m_preset;
    std::vector<std::string> m_ports;
};
