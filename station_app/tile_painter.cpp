#include "station_app/tile_painter.h"

#include <cstdio>

namespace
{
constexpr int kStateFontHeight = -16; // pixels, character height
constexpr int kTextFontHeight = -12;
constexpr int kMargin = 6;
constexpr int kLine = 16;
constexpr int kStateLine = 22;
constexpr int kBarHeight = 12;
constexpr COLORREF kBarColour = RGB(0x2E, 0x6F, 0xC0);
constexpr COLORREF kBarTrack = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kFrameColour = RGB(0x60, 0x60, 0x60);

COLORREF FromRgb(std::uint32_t rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// One solid brush for one fill.
void Fill(HDC dc, const RECT& area, COLORREF colour)
{
    const HBRUSH brush = CreateSolidBrush(colour);
    if (brush != nullptr)
    {
        FillRect(dc, &area, brush);
        DeleteObject(brush);
    }
}

void Line(HDC dc, RECT& row, int height, const std::string& text, UINT format = DT_LEFT)
{
    RECT line = row;
    line.bottom = line.top + height;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &line,
              format | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | DT_VCENTER);
    row.top += height;
}

// Selects a font into the context for a scope.
class CSelectFont
{
public:
    CSelectFont(HDC dc, HFONT font) : m_dc(dc), m_previous(SelectObject(dc, font)) {}
    ~CSelectFont() { SelectObject(m_dc, m_previous); }
    CSelectFont(const CSelectFont&) = delete;
    CSelectFont& operator=(const CSelectFont&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
} // namespace

CTilePainter::CTilePainter()
    : m_stateFont(CreateFontA(kStateFontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                              DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Shell Dlg")),
      m_textFont(CreateFontA(kTextFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Shell Dlg"))
{
}

CTilePainter::~CTilePainter()
{
    if (m_stateFont != nullptr)
    {
        DeleteObject(m_stateFont);
    }
    if (m_textFont != nullptr)
    {
        DeleteObject(m_textFont);
    }
}

void CTilePainter::Paint(HDC dc, const RECT& area, const std::string& port, const CTileModel& tile,
                         CTileModel::Clock::time_point now) const
{
    Fill(dc, area, kFrameColour);
    RECT inner = area;
    InflateRect(&inner, -1, -1);
    Fill(dc, inner, FromRgb(ToneColour(ToneOf(tile.State()))));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));

    RECT row = inner;
    InflateRect(&row, -kMargin, -kMargin);
    {
        CSelectFont text(dc, m_textFont);
        Line(dc, row, kLine, port);
    }
    {
        CSelectFont state(dc, m_stateFont);
        Line(dc, row, kStateLine, tile.StateText());
    }
    CSelectFont text(dc, m_textFont);
    if (tile.AwaitingNext())
    {
        Line(dc, row, kLine, "Waiting for the next handset");
    }

    RECT bar = row;
    bar.bottom = bar.top + kBarHeight;
    Fill(dc, bar, kBarTrack);
    RECT done = bar;
    done.right = bar.left + (bar.right - bar.left) * static_cast<int>(tile.Percent()) / 100;
    Fill(dc, done, kBarColour);
    row.top += kBarHeight + 2;

    char figures[96];
    std::snprintf(figures, sizeof figures, "%u %%   %.1f blk/s   %s", tile.Percent(),
                  tile.BlocksPerSecond(now), tile.ElapsedText(now).c_str());
    Line(dc, row, kLine, figures);
    const std::string handset = tile.ProductId().empty()
                                    ? std::string("Handset: -")
                                    : "Handset: " + tile.ProductId() + "  " + tile.MobileId();
    Line(dc, row, kLine, handset);
    Line(dc, row, kLine, tile.CountsText());
    if (!tile.LastReason().empty())
    {
        Line(dc, row, kLine, tile.LastReason());
        Line(dc, row, kLine, tile.LastHint());
    }
}
