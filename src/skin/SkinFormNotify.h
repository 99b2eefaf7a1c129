#pragma once
// What the dialog tells the launcher object about its controls: clicks and
// combo-box selection changes. Called on the window thread.

class ISkinFormNotify {
public:
    virtual ~ISkinFormNotify() = default;
    virtual void OnBtnClicked(int id) = 0;
    virtual void OnCBNSelChange(unsigned commandWord) = 0;
};
