#include "LoginSite.h"

#include "FixtureServer.h"

#include <QUrlQuery>

namespace LoginSite {

namespace {

using Request = FixtureServer::Request;
using Response = FixtureServer::Response;

QByteArray html(const QString &title, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title>"
                          "</head><body><h1>%1</h1>%2</body></html>")
        .arg(title, body)
        .toUtf8();
}

Response page(const QString &title, const QString &body)
{
    return Response::ok(html(title, body), "text/html; charset=utf-8")
        .withHeader("Cache-Control", "no-store");
}

QString accountForm(const QString &method, const QString &action)
{
    return QStringLiteral("<form method=\"%1\" action=\"%2\">"
                          "<p>Name <input name=\"username\" type=\"text\"></p>"
                          "<p>Password <input name=\"password\" type=\"password\"></p>"
                          "<p><input type=\"submit\" value=\"Log in\"></p></form>")
        .arg(method, action.toHtmlEscaped());
}

const QString kAccountForm
    = accountForm(QStringLiteral("post"), QStringLiteral("/members/session"));

Response loginPage()
{
    return page(QStringLiteral("Members log in"), kAccountForm);
}

QString queryValue(const Request &r, const QString &name)
{
    return QUrlQuery(QString::fromUtf8(r.query)).queryItemValue(name, QUrl::FullyDecoded);
}

Response withSession(Response response)
{
    return response.withCookie(QByteArray(CookieName) + '=' + CookieValue + "; Path=/; HttpOnly");
}

} // namespace

QUrlQuery formValues(const Request &r)
{
    if (r.method == "POST")
        return QUrlQuery(QString::fromUtf8(r.body).replace(u'+', u' '));
    return QUrlQuery(QString::fromUtf8(r.query).replace(u'+', u' '));
}

QString formValue(const Request &r, const QString &name)
{
    return formValues(r).queryItemValue(name, QUrl::FullyDecoded);
}

QByteArray pdf(const QString &path)
{
    return "%PDF-1.4\n% members " + path.toUtf8() + "\n" + QByteArray(2048, 'm') + "\n%%EOF\n";
}

bool hasSession(const QByteArray &cookieHeader)
{
    for (const QByteArray &pair : cookieHeader.split(';')) {
        if (pair.trimmed() == QByteArray(CookieName) + '=' + CookieValue)
            return true;
    }
    return false;
}

void install(FixtureServer &server)
{
    server.route("/members/login", [](const Request &r) {
        const QString action = queryValue(r, QStringLiteral("action"));
        if (action.isEmpty())
            return loginPage();
        return page(QStringLiteral("Members log in"), accountForm(QStringLiteral("post"), action));
    });
    server.route("/members/get-login", [](const Request &) {
        return page(QStringLiteral("Members log in"),
            accountForm(QStringLiteral("get"), QStringLiteral("/members/session")));
    });
    server.route("/members/go", [](const Request &r) {
        return Response::redirect(queryValue(r, QStringLiteral("to")).toUtf8());
    });
    server.route("/members/ip", [](const Request &) {
        return page(QStringLiteral("Institution access"),
            QStringLiteral("<form method=\"post\" action=\"/members/ip-session\">"
                           "<input id=\"submitip\" type=\"submit\" value=\"Access through "
                           "your institution\"></form>"));
    });
    server.route("/members/session", [](const Request &r) {
        const QUrlQuery values = formValues(r);
        if (values.queryItemValue(QStringLiteral("username"), QUrl::FullyDecoded) != Account
            || values.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded) != Password)
            return page(QStringLiteral("Members log in"),
                QStringLiteral("<p class=\"error\">Wrong name or password.</p>") + kAccountForm);
        return withSession(Response::redirect("/members/welcome", 303));
    });
    server.route("/members/ip-session",
        [](const Request &) { return withSession(Response::redirect("/members/welcome", 303)); });
    server.route("/members/welcome", [](const Request &r) {
        if (!hasSession(r.header("Cookie")))
            return loginPage();
        return page(QStringLiteral("Welcome"), QStringLiteral("<p>You are logged in.</p>"));
    });
    server.route("/members/submit-first", [](const Request &) {
        return page(QStringLiteral("Members log in"),
            QStringLiteral("<form method=\"post\" action=\"/members/session\">"
                           "<input type=\"submit\" value=\"Log in\">"
                           "<input name=\"username\"><input name=\"password\" type=\"password\">"
                           "</form>"));
    });
    server.route("/members/user-only", [](const Request &) {
        return page(QStringLiteral("Members log in"),
            QStringLiteral("<form method=\"post\" action=\"/members/session\">"
                           "<input name=\"user\"><input type=\"submit\" value=\"Next\"></form>"));
    });
    server.routePrefix("/members/pdf/", [](const Request &r) {
        const QString path = QString::fromUtf8(r.path);
        if (!path.endsWith(QLatin1String(".pdf")))
            return Response::status(404, "Not Found", "<html><body>not found</body></html>");
        // What the site does without a login: a page where the file should be.
        if (!hasSession(r.header("Cookie")))
            return loginPage();
        return Response::ok(pdf(path), "application/pdf");
    });
}

} // namespace LoginSite
