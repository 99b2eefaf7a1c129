#pragma once
// The elements of a theme: the operations every form and control offers
// (ISkinable), the data each holds (CSkinCommon), the type codes that decide
// a control's window, and the control ids the launcher knows by their
// function names. Window thread only.

#include "platform/Geometry.h"
#include "platform/Region.h"

#include <cstdint>
#include <string>

namespace tinyxml2 {
class XMLElement;
}

namespace skin {

class CSkinWindow;

// Type codes: which kind of window a control gets.
enum SkinType : int {
    kTypeForm = 0,
    kTypeButton = 1,
    kTypeSprite = 2,
    kTypeProgress = 3,
    kTypeScrollBar = 5,
    kTypeEdit = 6,
    kTypeListBox = 7,
    kTypeText = 8,
    kTypeSpriteRange = 9,
    kTypeComboBox = 10,
};

// The id of a control's function name (exact, case-sensitive); -1 for an
// empty or unknown name.
int ControlIdFromName(const std::string& name);
// The function name of an id; empty for an id without one.
std::string ControlNameFromId(int id);

// The data every element holds.
struct CSkinCommon {
    plat::Rect rect; // dialog client coordinates
    plat::Region region;
    int type = kTypeForm;
    std::string name; // the function name ("func")
    bool visible = true;
    std::uint8_t opacity = 255;

    // Reads "pt", "size", "func" and "visible"; the rectangle becomes pt
    // with the size (0,0 and 0,0 by default).
    void ReadCommonAttributes(const tinyxml2::XMLElement* element);
};

class ISkinable {
public:
    virtual ~ISkinable() = default;
    // Reads the element (and its profile among `profiles`); false when the
    // element cannot make this kind of element.
    virtual bool Init(const tinyxml2::XMLElement* element,
                      const tinyxml2::XMLElement* profiles) = 0;
    // A hook a form passes on to its controls; nothing happens in it.
    virtual void Forward() {}
    virtual plat::Rect GetRect() const = 0;
    // The element's window; null for a form.
    virtual CSkinWindow* GetWindow() = 0;
    virtual int GetType() const = 0;
    virtual const plat::Region& GetRegion() const = 0;
    // The constant alpha of every picture the element draws; true (and the
    // element repainted) when it changed.
    virtual bool SetAlpha(std::uint8_t alpha) = 0;
    virtual std::string GetName() const = 0;
    virtual bool IsVisible() const = 0;
    virtual void SetVisible(bool visible) = 0;
    // Reads the pictures that differ by language again.
    virtual void ReloadImages() {}
};

} // namespace skin
