#pragma once

#include "platform/Document.h"

#include <QJsonObject>
#include <QPointer>
#include <QVector>

class WebEngineBrowser;

// A snapshot of a page of the web engine, read by one script call in the
// program's own script world (the page cannot see or change it). The
// elements stay referenced in that world under the snapshot's generation, as
// long as the snapshot lives, so setValue() and click() reach exactly the
// elements read (whatever other snapshots were taken since), and nothing once
// the page has moved on.
class WebEngineDocument final : public Document
{
public:
    WebEngineDocument() = default;
    ~WebEngineDocument() override;
    WebEngineDocument(const WebEngineDocument &) = delete;
    WebEngineDocument &operator=(const WebEngineDocument &) = delete;

    struct Node
    {
        QString tag; // upper case
        QString id;
        QString className;
        QString title;
        QString href;
        QString rel;
        QString text;
        QString html;
        QString name;
        QString type;
        QString value;
        QString formAction;
        QString formMethod;
        int parent = -1; // nearest element of the snapshot above this one
        int last = -1; // last element of the snapshot below this one (or itself)
    };

    // The script that reads the page: returns the JSON text that fromJson()
    // takes, and keeps the elements for actions under `generation`.
    static QString snapshotScript(int generation, const DocumentScope &scope);
    // Null when the text is not a snapshot of that generation.
    static std::shared_ptr<WebEngineDocument> fromJson(
        const QString &json, int generation, WebEngineBrowser *browser, quint64 loadSequence);

    QString url() const override { return m_url; }
    Element elementById(const QString &id) const override;
    QList<Element> elementsByTagName(const QString &tag, Element below = {}) const override;
    QString tagName(Element e) const override;
    QString innerText(Element e) const override;
    QString outerHtml(Element e) const override;
    QString className(Element e) const override;
    QString title(Element e) const override;
    QString href(Element e) const override;
    QString rel(Element e) const override;
    QString inputName(Element e) const override;
    QString inputType(Element e) const override;
    QString value(Element e) const override;
    QString formAction(Element e) const override;
    QString formMethod(Element e) const override;
    bool setValue(Element e, const QString &value) override;
    bool click(Element e) override;

    int generation() const { return m_generation; }
    int size() const { return int(m_nodes.size()); }

    // Lets the page drop the elements of a snapshot that no reader got.
    static void release(WebEngineBrowser *browser, int generation, quint64 loadSequence);

private:
    const Node *node(Element e) const;
    bool act(Element e, const QString &action);

    QString m_url;
    QVector<Node> m_nodes;
    int m_generation = 0;
    QPointer<WebEngineBrowser> m_browser;
    quint64 m_loadSequence = 0;
};
