// Read-only XML document access over pugixml.
#include "service/XmlDocument.h"

#include "service/FileBytes.h"
#include "service/PlotwiseError.h"
#include "service/Windows1252.h"

#include <cstring>
#include <pugixml.hpp>

namespace {

pugi::xml_node toPugi(const void *internal)
{
    return pugi::xml_node(static_cast<pugi::xml_node_struct *>(const_cast<void *>(internal)));
}

bool isText(pugi::xml_node node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

QString fromPugi(const pugi::char_t *text)
{
    return QString::fromUtf8(text);
}

// True when the XML declaration names Windows-1252, which the parser does
// not know; every other encoding the declaration names is the parser's.
bool declaresWindows1252(QByteArrayView bytes)
{
    if (!bytes.startsWith("<?xml"))
        return false;
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0)
        return false;
    pugi::xml_document declaration;
    declaration.load_buffer(bytes.data(), size_t(end + 2), pugi::parse_declaration);
    const QByteArray name
        = QByteArray(declaration.first_child().attribute("encoding").value()).toLower();
    return name == "windows-1252" || name == "cp1252" || name == "x-cp1252";
}

// The page as the parser is given it: a Windows-1252 page as UTF-8 (the
// parser reads a declaration it does not know as UTF-8), any other page as
// it is.
QByteArray parserText(const QByteArray &bytes)
{
    return declaresWindows1252(bytes) ? FromWindows1252(bytes).toUtf8() : bytes;
}

// "line L, column C" of a byte offset into UTF-8 text, both counted from 1.
QString placeOf(const QByteArray &utf8, qsizetype offset)
{
    offset = qBound(qsizetype(0), offset, utf8.size());
    const QByteArrayView before = QByteArrayView(utf8).first(offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    const qsizetype line = before.count('\n') + 1;
    const qsizetype column = QString::fromUtf8(before.sliced(lineStart)).size() + 1;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

// The parse options below make elements, text and CDATA the only nodes:
// comments, processing instructions and the declaration are skipped.
std::vector<XmlNode> childList(pugi::xml_node parent, XmlNode (*wrap)(pugi::xml_node))
{
    std::vector<XmlNode> nodes;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        nodes.push_back(wrap(child));
    return nodes;
}

} // namespace

bool XmlNode::isNull() const
{
    return m_node == nullptr;
}

QString XmlNode::name() const
{
    const pugi::xml_node node = toPugi(m_node);
    return node.type() == pugi::node_element ? fromPugi(node.name()) : QString();
}

std::vector<XmlNode> XmlNode::children() const
{
    return childList(toPugi(m_node), [](pugi::xml_node n) { return XmlNode(n.internal_object()); });
}

XmlNode XmlNode::firstChild() const
{
    return XmlNode(toPugi(m_node).first_child().internal_object());
}

XmlNode XmlNode::nextSibling() const
{
    return XmlNode(toPugi(m_node).next_sibling().internal_object());
}

bool XmlNode::hasName(const char *utf8Name) const
{
    // The name first: most nodes asked about are elements of another name.
    const pugi::xml_node node = toPugi(m_node);
    return std::strcmp(node.name(), utf8Name) == 0 && node.type() == pugi::node_element;
}

std::optional<QString> XmlNode::attribute(const char *name) const
{
    const std::optional<QByteArrayView> bytes = attributeBytes(name);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

std::optional<QByteArrayView> XmlNode::attributeBytes(const char *name) const
{
    const pugi::xml_node node = toPugi(m_node);
    if (node.type() != pugi::node_element)
        return std::nullopt;
    const pugi::xml_attribute attr = node.attribute(name);
    if (!attr)
        return std::nullopt;
    return QByteArrayView(attr.value());
}

std::optional<QString> XmlNode::value() const
{
    const std::optional<QByteArrayView> bytes = valueBytes();
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

std::optional<QByteArrayView> XmlNode::valueBytes() const
{
    const pugi::xml_node node = toPugi(m_node);
    pugi::xml_node textNode;
    if (isText(node)) {
        textNode = node;
    } else if (node.type() == pugi::node_element) {
        textNode = node.first_child();
        if (!textNode)
            return std::nullopt;
        if (textNode.next_sibling() || !isText(textNode))
            throw PlotwiseError(
                QStringLiteral("The element \"%1\" holds more than one text").arg(name()));
    } else {
        return std::nullopt;
    }
    const QByteArrayView text(textNode.value());
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

bool XmlNode::operator==(const XmlNode &other) const
{
    return m_node == other.m_node;
}

XmlDocument::XmlDocument() : m_doc(std::make_unique<pugi::xml_document>()) {}

XmlDocument::~XmlDocument() = default;

void XmlDocument::loadFile(const QString &fileName)
{
    m_doc->reset();
    // Parsed in place: the tree points into the page text, which is kept
    // until the next page replaces it, so the page is not copied once more.
    m_text = parserText(ReadFileBytes(fileName));
    // White space between elements is dropped (no parse_ws_pcdata); CDATA is
    // kept as text. The parser works without recursion, so deep nesting
    // cannot overflow the stack. It takes the encoding from a byte order mark
    // or the declaration, UTF-8 when neither names one it knows, and hands
    // out UTF-8.
    const pugi::xml_parse_result result = m_doc->load_buffer_inplace(
        m_text.data(), size_t(m_text.size()), pugi::parse_default, pugi::encoding_auto);
    auto fail = [&](ptrdiff_t offset, const QString &description) {
        m_doc->reset();
        m_text.clear();
        // In-place parsing has changed the text before the fault: the place
        // is counted in the file as it stands, in the UTF-8 the parser read.
        const QByteArray bytes = ReadFileBytes(fileName);
        const QByteArray utf8 = result.encoding == pugi::encoding_latin1
            ? QString::fromLatin1(bytes).toUtf8()
            : parserText(bytes);
        const QString place = placeOf(utf8, qsizetype(offset));
        throw PlotwiseError(QStringLiteral("%1 is not well-formed XML (%2): %3")
                                .arg(FullPath(fileName), place, description));
    };
    if (!result)
        fail(result.offset, QString::fromUtf8(result.description()));
    // The parser accepts more than one top-level element; a page has one.
    bool rootSeen = false;
    for (pugi::xml_node child = m_doc->first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            if (rootSeen)
                fail(child.offset_debug(), QStringLiteral("more than one root element"));
            rootSeen = true;
        }
    }
}

std::vector<XmlNode> XmlDocument::children() const
{
    return childList(*m_doc, [](pugi::xml_node n) { return XmlNode(n.internal_object()); });
}
