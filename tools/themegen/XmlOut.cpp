#include "XmlOut.h"

namespace themegen {

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

XmlElement& XmlElement::Attr(const std::string& name, const std::string& value) {
    attributes_.emplace_back(name, value);
    return *this;
}

XmlElement& XmlElement::Attr(const std::string& name, int value) {
    return Attr(name, std::to_string(value));
}

XmlElement& XmlElement::Pair(const std::string& name, int first, int second) {
    return Attr(name, std::to_string(first) + "," + std::to_string(second));
}

XmlElement& XmlElement::Add(XmlElement child) {
    children_.push_back(std::move(child));
    return children_.back();
}

XmlElement& XmlElement::Child(const std::string& name) {
    return Add(XmlElement(name));
}

XmlElement& XmlElement::Comment(const std::string& text) {
    XmlElement comment("");
    comment.comment_ = text;
    children_.push_back(std::move(comment));
    return *this;
}

std::string XmlElement::Write(int depth) const {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    if (name_.empty())
        return indent + "<!-- " + comment_ + " -->\n";
    std::string out = indent + "<" + name_;
    for (const auto& [name, value] : attributes_)
        out += " " + name + "=\"" + XmlEscape(value) + "\"";
    if (children_.empty())
        return out + "/>\n";
    out += ">\n";
    for (const XmlElement& child : children_)
        out += child.Write(depth + 1);
    return out + indent + "</" + name_ + ">\n";
}

} // namespace themegen
