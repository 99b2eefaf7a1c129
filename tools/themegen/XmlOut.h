#pragma once
// A small XML writer for the generated theme documents: elements with
// attributes in the order given, comments, two-space indentation, text
// escaped. Build-time only.

#include <string>
#include <utility>
#include <vector>

namespace themegen {

class XmlElement {
public:
    explicit XmlElement(std::string name) : name_(std::move(name)) {}

    XmlElement& Attr(const std::string& name, const std::string& value);
    XmlElement& Attr(const std::string& name, int value);
    // "x,y" pairs.
    XmlElement& Pair(const std::string& name, int first, int second);
    XmlElement& Add(XmlElement child);
    // The child just added, to fill in.
    XmlElement& Child(const std::string& name);
    XmlElement& Comment(const std::string& text);

    std::string Write(int depth = 0) const;

private:
    std::string name_;
    std::vector<std::pair<std::string, std::string>> attributes_;
    std::vector<XmlElement> children_;
    std::string comment_; // a comment element when the name is empty
};

std::string XmlEscape(const std::string& text);

} // namespace themegen
