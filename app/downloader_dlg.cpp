#include "app/downloader_dlg.h"

#include "framework/data_exchange.h"
#include "res/resource.h"
#include "serial/serial_io_win.h"

#include <cstdlib>
#include <iterator>

CDownloaderDlg::CDownloaderDlg(HWND parent)
    : CDialog(IDD_TERVOLOPLUS_DIALOG, parent), m_argc(__argc), m_argv(__argv)
{
    m_hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CDownloaderDlg::~CDownloaderDlg() = default;

void CDownloaderDlg::SetCommandLine(int argc, const char* const* argv)
{
    m_argc = argc;
    m_argv = argv;
}

const MessageMap& CDownloaderDlg::GetMessageMap() const
{
    using D = CDownloaderDlg;
    static const MessageEntry kEntries[] = {
        On::SysCommand<&D::OnSysCommand>(),
        On::Paint<&D::OnPaint>(),
        On::QueryDragIcon<&D::OnQueryDragIcon>(),
        On::Clicked<&D::OnStartStop>(IDC_START_DOWNLOAD),
        On::Destroy<&D::OnDestroy>(),
        On::Timer<&D::OnTimer>(),
        On::Clicked<&D::OnLanguagePackButton>(IDC_LANGUAGE_PACK_BUTTON),
        On::Clicked<&D::OnMainCodeButton>(IDC_MAIN_CODE_BUTTON),
        On::Clicked<&D::OnBootCodeButton>(IDC_BOOT_CODE_BUTTON),
        On::Clicked<&D::OnBrowseImage>(IDC_BROWSE_IMAGE),
        On::Clicked<&D::OnBrowseLanguagePack>(IDC_BROWSE_LANGUAGE_PACK),
        On::Notification<&D::OnDropDownImage>(IDC_IMAGE_FILE, CBN_DROPDOWN),
        On::Notification<&D::OnDropDownLanguagePack>(IDC_LANGUAGE_PACK_FILE, CBN_DROPDOWN),
        On::Notification<&D::OnDropDownBaudRate>(IDC_BAUD_RATE, CBN_DROPDOWN),
        On::MenuCommand<&D::OnPresets>(ID_PRESETS_BROWSE),
        On::Notification<&D::OnModelChange>(IDC_MOBILE_MODEL, CBN_SELCHANGE),
        On::MenuCommand<&D::OnAbout>(ID_HELP_ABOUT),
        On::Notification<&D::OnSelEndOkImage>(IDC_IMAGE_FILE, CBN_SELENDOK),
        On::Notification<&D::OnSelEndOkLanguagePack>(IDC_LANGUAGE_PACK_FILE, CBN_SELENDOK),
        On::Message<&D::OnSerialData>(WM_SERIAL_DATA),
        On::Message<&D::OnSerialFailure>(WM_SERIAL_FAILURE),
        On::Message<&D::OnDownloadEnd>(WM_DOWNLOAD_END),
    };
    static const MessageMap kMap{kEntries, std::size(kEntries), &CDialog::GetMessageMap()};
    return kMap;
}

void CDownloaderDlg::DoDataExchange(CDataExchange& dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_START_DOWNLOAD, m_startButton);
    DDX_Control(dx, IDC_LANGUAGE_PACK_BUTTON, m_languagePackButton);
    DDX_Control(dx, IDC_MAIN_CODE_BUTTON, m_mainCodeButton);
    DDX_Control(dx, IDC_BOOT_CODE_BUTTON, m_bootCodeButton);
    DDX_Control(dx, IDC_LANGUAGE_PACK_PROGRESS, m_languagePackProgress);
    DDX_Control(dx, IDC_MAIN_CODE_PROGRESS, m_mainCodeProgress);
    DDX_Control(dx, IDC_BOOT_CODE_PROGRESS, m_bootCodeProgress);
    DDX_Control(dx, IDC_LANGUAGE_PACK_PERCENT, m_languagePackPercent);
    DDX_Control(dx, IDC_MAIN_CODE_PERCENT, m_mainCodePercent);
    DDX_Control(dx, IDC_BOOT_CODE_PERCENT, m_bootCodePercent);
    DDX_Control(dx, IDC_LANGUAGE_PACK_FILE, m_languagePackFileBox);
    DDX_Control(dx, IDC_BROWSE_LANGUAGE_PACK, m_browseLanguagePackButton);
    DDX_Control(dx, IDC_IMAGE_FILE, m_imageFileBox);
    DDX_Control(dx, IDC_BROWSE_IMAGE, m_browseImageButton);
    DDX_Control(dx, IDC_COM_PORT, m_comPortList);
    DDX_Control(dx, IDC_BAUD_RATE, m_baudRateList);
    DDX_Control(dx, IDC_MOBILE_MODEL, m_modelList);
    DDX_Control(dx, IDC_GANG_MODE, m_gangModeCheck);
    DDX_Control(dx, IDC_DOWNLOAD_TIME, m_downloadTimeBox);
    DDX_Control(dx, IDC_REPORT_LIST, m_reportList);
    DDX_Text(dx, IDC_IMAGE_FILE, m_imagePath);
    DDX_Text(dx, IDC_LANGUAGE_PACK_FILE, m_lpPath);
}

BOOL CDownloaderDlg::PreTranslateMessage(MSG* msg)
{
    m_toolTip.RelayEvent(msg);
    return CDialog::PreTranslateMessage(msg);
}
