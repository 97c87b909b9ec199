#include "PublicSuffix.h"

#include <libpsl.h>
#include <memory>

namespace {

struct PslFree
{
    void operator()(psl_ctx_t *context) const { psl_free(context); }
};

const psl_ctx_t *suffixList()
{
    // The newest of the system's list file and the library's own copy.
    static const std::unique_ptr<psl_ctx_t, PslFree> latest(psl_latest(nullptr));
    return latest ? latest.get() : psl_builtin();
}

} // namespace

bool IsPublicSuffix(const QString &domain)
{
    if (domain.isEmpty())
        return true;
    // Without a list only the implicit rule is left: a single label.
    const psl_ctx_t *list = suffixList();
    if (!list)
        return !domain.contains(QLatin1Char('.'));
    // PSL_TYPE_ANY keeps the implicit "*" rule, so an unlisted top-level
    // name is a public suffix too.
    return psl_is_public_suffix2(list, domain.toUtf8().constData(), PSL_TYPE_ANY) != 0;
}
