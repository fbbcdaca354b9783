// Read-only XML document access over pugixml: load a file, walk child lists
// (text nodes included, white space between elements excluded), names,
// attributes and values with the null-versus-empty distinction.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace pugi {
class xml_document;
class xml_node;
}

class XmlNode
{
public:
    XmlNode() = default;

    [[nodiscard]] bool isNull() const;
    // Element tag name; empty for a text node.
    [[nodiscard]] QString name() const;
    // Children in document order, text nodes included.
    [[nodiscard]] std::vector<XmlNode> children() const;
    // The same children one at a time, without building a list: the first
    // child, then each one's next sibling; null after the last.
    [[nodiscard]] XmlNode firstChild() const;
    [[nodiscard]] XmlNode nextSibling() const;
    // True for an element whose tag name is utf8Name, compared exactly
    // without making a text of the name.
    [[nodiscard]] bool hasName(const char *utf8Name) const;
    // Null when there is no such attribute (text nodes have none); an empty
    // attribute gives empty text.
    [[nodiscard]] std::optional<QString> attribute(const char *name) const;
    // The text of a text node, or of an element whose only child is one text
    // node. Empty text and an element without children give null; any other
    // content throws PlotwiseError.
    [[nodiscard]] std::optional<QString> value() const;
    // The same two as the document's UTF-8 bytes, without making a text of
    // them: valid until the document loads another file.
    [[nodiscard]] std::optional<QByteArrayView> attributeBytes(const char *name) const;
    [[nodiscard]] std::optional<QByteArrayView> valueBytes() const;

    bool operator==(const XmlNode &other) const;

private:
    friend class XmlDocument;
    explicit XmlNode(const void *internal) : m_node(internal) {}
    const void *m_node = nullptr; // pugi::xml_node_struct*
};

class XmlDocument
{
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument &) = delete;
    XmlDocument &operator=(const XmlDocument &) = delete;

    // Parses the file and replaces the tree. A file that cannot be read or is
    // not well-formed throws PlotwiseError naming the file and the place.
    void loadFile(const QString &fileName);
    // Top-level nodes without the XML declaration; node 0 is the root element.
    [[nodiscard]] std::vector<XmlNode> children() const;

private:
    std::unique_ptr<pugi::xml_document> m_doc;
    QByteArray m_text; // the page as UTF-8, which the tree points into
};
