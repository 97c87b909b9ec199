#pragma once

#include "platform/Document.h"

#include <QList>
#include <QPair>
#include <QString>

#include <functional>

// A Document over static HTML, parsed by a small tolerant parser: tags,
// attributes in any quoting, text, comments, raw SCRIPT/STYLE content, the
// common entities and numeric references, void elements, and the end tags a
// page may leave out (P, LI, TD, ...). No scripts run. innerText follows the
// browser's rules closely enough for result pages: white space collapses,
// block elements break lines, P adds an empty line, hidden content (head,
// scripts, styles, the hidden attribute) gives no text, PRE keeps its spaces.
class HtmlDocument final : public Document
{
public:
    using ClickHandler = std::function<bool(Element)>;
    using ValueHandler = std::function<bool(Element, const QString &)>;

    // Parses `html` as the document at `url` (relative links resolve against
    // it, or against a BASE element).
    HtmlDocument(const QString &url, const QString &html);

    QString url() const override { return m_url; }
    Element elementById(const QString &id) const override;
    QList<Element> elementsByTagName(const QString &tag, Element below = {}) const override;
    QString tagName(Element e) const override;
    QString innerText(Element e) const override;
    QString outerHtml(Element e) const override;
    QString className(Element e) const override { return attribute(e, QStringLiteral("class")); }
    QString title(Element e) const override { return attribute(e, QStringLiteral("title")); }
    QString href(Element e) const override;
    QString rel(Element e) const override;
    QString inputName(Element e) const override { return attribute(e, QStringLiteral("name")); }
    QString inputType(Element e) const override;
    QString value(Element e) const override;
    QString formAction(Element e) const override;
    QString formMethod(Element e) const override;
    bool setValue(Element e, const QString &value) override;
    bool click(Element e) override;

    // The attribute's value (name in any case), empty when absent.
    QString attribute(Element e, const QString &name) const;
    bool hasAttribute(Element e, const QString &name) const;
    // The nearest element above `e` with the tag (any case), or a null handle.
    Element enclosing(Element e, const QString &tag) const;
    // Text of the TITLE element.
    QString documentTitle() const;
    int elementCount() const { return int(m_nodes.size()); }

    // Makes the document hold only what the scope names, as a browser's
    // snapshot of that scope would.
    void restrictTo(const DocumentScope &scope) { m_scope = scope; }

    // Where setValue() and click() go. Without a handler a value is kept in
    // this document and a click is only recorded.
    void setClickHandler(ClickHandler handler) { m_onClick = std::move(handler); }
    void setValueHandler(ValueHandler handler) { m_onValue = std::move(handler); }
    QList<Element> clicks() const { return m_clicks; }

private:
    struct Child
    {
        int element = -1; // or a text node:
        QString text;
    };
    struct Node
    {
        QString tag; // upper case
        QList<QPair<QString, QString>> attributes; // names in lower case
        int parent = -1;
        int end = 0; // one past the last descendant, in document order
        QList<Child> children;
        QString value; // INPUT value as written
        bool valueSet = false;
    };
    struct TextState;

    void parse(const QString &html);
    bool valid(Element e) const { return e.index() >= 0 && e.index() < m_nodes.size(); }
    bool inScope(int index) const;
    void renderText(int index, TextState &state) const;
    void serialize(int index, QString &out) const;

    QString m_url;
    QString m_baseUrl;
    QList<Node> m_nodes;
    QList<Child> m_top; // nodes outside any element (only before/after HTML)
    DocumentScope m_scope;
    ClickHandler m_onClick;
    ValueHandler m_onValue;
    QList<Element> m_clicks;
};
