#pragma once
// A tooltip for one control window: a popup with one or more lines of text
// (at most `maxWidth` pixels wide, longer lines wrapped at spaces), shown
// centred below the control once the pointer has rested on it for a moment,
// and hidden when the pointer leaves it, a button goes down or the control
// is hidden. Shown whether or not the window is active. Window thread only.

#include "platform/Font.h"
#include "skin/SkinPopup.h"
#include "skin/SkinWindow.h"

#include <memory>
#include <string>
#include <vector>

namespace skin {

// Splits the text at line breaks, then wraps each line at spaces to `width`
// pixels (a word wider than that stays whole on its own line).
std::vector<std::wstring> WrapTextLines(const plat::Font& font, const std::wstring& text,
                                        int width);

class CSkinToolTip {
public:
    // How long the pointer rests before the tip shows.
    static constexpr unsigned kDelayMs = 400;
    static constexpr std::uint64_t kDelayTimer = 1;
    static constexpr int kPaddingX = 8;
    static constexpr int kPaddingY = 5;

    CSkinToolTip(CSkinWindow* tool, std::wstring text, int maxWidth);
    ~CSkinToolTip();
    CSkinToolTip(const CSkinToolTip&) = delete;
    CSkinToolTip& operator=(const CSkinToolTip&) = delete;

    CSkinWindow* Tool() const { return tool_; }
    const std::wstring& Text() const { return text_; }
    // The lines as shown (wrapped to the width).
    const std::vector<std::wstring>& Lines() const { return lines_; }

    // The window under the pointer changed or the pointer moved over it.
    void OnPointerOver(CSkinWindow* window);
    // A button went down, the pointer left the dialog or the tool was hidden.
    void Hide();
    // Shows the tip now (as when the delay ran out).
    void ShowNow();
    bool IsShown() const { return popup_.IsShown(); }
    plat::Rect Bounds() const { return popup_.Bounds(); }

private:
    void Paint(plat::Canvas& canvas);
    void OnMessage(std::uint32_t message, plat::WPARAM wParam);
    plat::Size Measure() const;

    CSkinWindow* tool_;
    std::wstring text_;
    int maxWidth_;
    std::shared_ptr<const plat::Font> font_;
    std::vector<std::wstring> lines_;
    bool waiting_ = false;
    CSkinPopup popup_;
};

} // namespace skin
