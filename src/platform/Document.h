#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// One element of a Document: a plain handle, valid only with the document it
// came from. A null handle stands for "no element" (an id that is not there).
class Element
{
public:
    Element() = default;
    explicit Element(int index) : m_index(index) { }

    bool isNull() const { return m_index < 0; }
    int index() const { return m_index; }
    friend bool operator==(Element a, Element b) { return a.m_index == b.m_index; }

private:
    int m_index = -1;
};

// What a Document has to hold when the caller needs only part of a page:
// elements of the given tag names (any case) and the elements with the given
// ids. Reading a big page then costs what the caller needs, not the whole tree.
// An empty scope means every element.
struct DocumentScope
{
    QStringList tags;
    QStringList ids;

    bool isEverything() const { return tags.isEmpty() && ids.isEmpty(); }
    bool coversTag(const QString &tag) const
    {
        return isEverything() || tags.contains(tag, Qt::CaseInsensitive);
    }
    bool coversId(const QString &id) const { return isEverything() || ids.contains(id); }
};

// A loaded HTML document as the extraction, the paging and the login read it.
//
// A Document is a snapshot: everything it reports was read at one moment and
// does not change afterwards. Reads on a null or foreign handle give empty
// text (an element list: empty), never an error, so callers walk on as with a
// page that lacks the element.
//
// setValue() and click() act on the live page the snapshot was taken from.
// They are sent, not awaited: the effect (a new page, a changed field) shows
// later through the browser's events. They answer false when the action could
// not be sent (null handle, the page has moved on to another document).
class Document
{
public:
    virtual ~Document() = default;

    // Absolute address of the document.
    virtual QString url() const = 0;

    // The first element whose id attribute equals id exactly, or a null handle.
    virtual Element elementById(const QString &id) const = 0;
    // Elements of the tag (compared without regard to case) in document order,
    // below `below` (not including it), or in the whole document when `below`
    // is null.
    virtual QList<Element> elementsByTagName(const QString &tag, Element below = {}) const = 0;

    // Upper-case tag name, "A", "LI".
    virtual QString tagName(Element e) const = 0;
    // Rendered text as the browser shows it (innerText).
    virtual QString innerText(Element e) const = 0;
    // Markup of the element with its attributes (outerHTML).
    virtual QString outerHtml(Element e) const = 0;
    virtual QString className(Element e) const = 0;
    // The title attribute.
    virtual QString title(Element e) const = 0;
    // Absolute address of an anchor (A, AREA) or of a LINK element; empty for
    // other elements.
    virtual QString href(Element e) const = 0;
    // The rel attribute of an anchor or a LINK element ("next", "nofollow
    // next"); empty for other elements.
    virtual QString rel(Element e) const = 0;

    // Form fields (INPUT): name and type attributes, current value.
    virtual QString inputName(Element e) const = 0;
    virtual QString inputType(Element e) const = 0;
    virtual QString value(Element e) const = 0;
    // Where a click on this submit button would send its form: the absolute
    // address (the button's formaction, else the form's action, else the
    // page's own address) and the method in lower case ("get", "post",
    // "dialog"). Both empty when the element belongs to no form.
    virtual QString formAction(Element e) const = 0;
    virtual QString formMethod(Element e) const = 0;

    virtual bool setValue(Element e, const QString &value) = 0;
    // Acts as a user's click on the element.
    virtual bool click(Element e) = 0;
};

using DocumentPtr = std::shared_ptr<Document>;
