#pragma once

#include "platform/Document.h"

#include <QObject>
#include <QString>

#include <functional>

// How the last top-level load of a browser ended.
struct PageLoad
{
    QString url; // the address the load ended at (after redirects)
    // The page was shown. A server's error page is shown too: see httpStatus.
    bool ok = false;
    // Status of the server's answer to the page; 0 when there was none (the
    // load failed, a local or blank page).
    int httpStatus = 0;
    // Why the page could not be shown, as the engine words it; empty when ok.
    QString error;
};

// What the harvest, the analysis run and the login need of an embedded
// browser, without any widget. The program's browser over the web engine
// implements it; tests use one that serves in-memory pages.
class Browser : public QObject
{
    Q_OBJECT
public:
    using DocumentCallback = std::function<void(DocumentPtr)>;

    using QObject::QObject;
    ~Browser() override = default;

    // Starts loading the address in the background; a later navigate()
    // replaces a load still running. The events below follow.
    virtual void navigate(const QString &url) = 0;
    // True while a page is loading.
    virtual bool isBusy() const = 0;
    // Address of the current top-level document; empty before the first load.
    virtual QString url() const = 0;
    // The last top-level load that ended (a load replaced or stopped before
    // its end is none).
    virtual PageLoad lastLoad() const = 0;
    // Stops the load under way, as a browser's stop button does; the page
    // stays as far as it came. Nothing happens when no load is under way.
    virtual void stop() = 0;

    // Reads the current top-level document and hands the snapshot to `done`,
    // always later, never inside this call. While a new document is still
    // loading the snapshot waits for it, so it is never one of the document
    // that was shown before. `done` gets nullptr when there is no document (a
    // blank or failed page, the page went away while being read). `done` is
    // dropped when `context` is destroyed first. `scope` limits what the
    // snapshot has to hold (see DocumentScope).
    virtual void requestDocument(
        QObject *context, DocumentCallback done, const DocumentScope &scope = {})
        = 0;

Q_SIGNALS:
    // A load began (navigate, a click, a script).
    void loadStarted();
    // The top-level document has completed, after all its inner frames.
    void documentComplete(const QString &url);
    // An inner frame of the page has completed; says nothing about the page.
    void frameDocumentComplete(const QString &url);
    // The title of a new document is known.
    void titleChanged(const QString &title);
    // The process that ran the page died (it crashed, ran out of memory or was
    // killed). Document requests waiting for it get no document; the browser
    // then loads the page again.
    void renderProcessCrashed(const QString &detail);
};
