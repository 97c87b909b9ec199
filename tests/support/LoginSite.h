#pragma once

#include "FixtureServer.h"

#include <QByteArray>
#include <QString>
#include <QUrlQuery>

// The members' area of the fixture site, where the full texts need a login,
// kept apart from the result pages:
//
//   /members/login              account login: fields "username" and
//                               "password", then a submit input; the form
//                               posts to /members/session, or to the
//                               address in the query's "action"
//   /members/get-login          the same form sent with GET
//   /members/go?to=URL          302 to URL (another site, say)
//   /members/ip                 IP login: a submit input of id "submitip"
//   /members/session            takes the account form (GET or POST); with
//                               the right account and password it sets the
//                               session cookie and redirects to the welcome
//                               page, otherwise it shows the form again
//   /members/ip-session         sets the session cookie for the IP login
//   /members/welcome            the page after a login
//   /members/pdf/<name>.pdf     a PDF with the session cookie; without it the
//                               account login page (200, text/html)
//   /members/submit-first       layouts that must not be submitted: the
//   /members/user-only          submit before the fields, a single field
//
// The session cookie is a session cookie (no expiry), Path=/, HttpOnly.
namespace LoginSite {

inline const QString Account = QStringLiteral("reader");
inline const QString Password = QStringLiteral("Fixture-Pass-7319");
inline constexpr const char CookieName[] = "qm_session";
inline constexpr const char CookieValue[] = "c5f1e2a7-members";

// Bytes of the PDF at a /members/pdf/ path.
QByteArray pdf(const QString &path);
// True when the request's Cookie header carries the session cookie.
bool hasSession(const QByteArray &cookieHeader);
// The fields a form sent, in the body (POST) or the query (GET).
QUrlQuery formValues(const FixtureServer::Request &request);
QString formValue(const FixtureServer::Request &request, const QString &name);

void install(FixtureServer &server);

} // namespace LoginSite
