#include "FaultRules.h"

#include <QLocale>
#include <QStringList>

bool WildcardMatch(QStringView pattern, QStringView text)
{
    // Greedy match with backtracking to the last "*": linear enough for
    // request targets.
    qsizetype p = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

static std::optional<long long> Number(const QString &text)
{
    bool ok = false;
    const long long value = QLocale::c().toLongLong(text, &ok);
    return ok && value >= 0 ? std::optional(value) : std::nullopt;
}

std::optional<QString> FaultRules::add(const QString &text)
{
    const QStringList parts = text.split(u',');
    const qsizetype eq = parts[0].lastIndexOf(u'=');
    if (eq <= 0)
        return QStringLiteral("expected PATTERN=WHAT in \"%1\"").arg(text);
    Rule rule;
    rule.pattern = parts[0].left(eq);
    const QString what = parts[0].mid(eq + 1);
    Fault &f = rule.fault;
    if (what == u"broken")
        f.kind = Fault::Kind::Broken;
    else if (what == u"notxml")
        f.kind = Fault::Kind::NotXml;
    else if (what == u"trickle")
        f.kind = Fault::Kind::Trickle;
    else if (what == u"huge")
        f.kind = Fault::Kind::Huge;
    else if (what == u"redirect")
        f.kind = Fault::Kind::Redirect;
    else if (what == u"random")
        f.kind = Fault::Kind::Random;
    else if (what == u"deep")
        f.kind = Fault::Kind::Deep;
    else if (what == u"otherroot")
        f.kind = Fault::Kind::OtherRoot;
    else if (what == u"nogames")
        f.kind = Fault::Kind::NoGames;
    else if (what == u"statistics")
        f.kind = Fault::Kind::Statistics;
    else if (const auto status = Number(what); status && *status >= 100 && *status <= 599)
        f.status = int(*status);
    else
        return QStringLiteral("unknown fault \"%1\"").arg(what);

    if (f.kind == Fault::Kind::Random)
        f.bytes = 64 * 1024;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString key = parts[i].section(u'=', 0, 0);
        const auto value = Number(parts[i].section(u'=', 1));
        if (!value)
            return QStringLiteral("bad option \"%1\"").arg(parts[i]);
        if (key == u"retry-after")
            f.retryAfterSeconds = int(*value);
        else if (key == u"retry-date")
            f.retryDateSeconds = int(*value);
        else if (key == u"depth")
            f.depth = int(*value);
        else if (key == u"times")
            rule.remaining = int(*value);
        else if (key == u"interval-ms")
            f.intervalMs = int(*value);
        else if (key == u"bytes")
            f.bytes = *value;
        else
            return QStringLiteral("unknown option \"%1\"").arg(key);
    }
    m_rules.push_back(rule);
    return std::nullopt;
}

std::optional<Fault> FaultRules::take(const QString &target)
{
    const std::lock_guard lock(m_mutex);
    for (Rule &rule : m_rules) {
        if (rule.remaining == 0 || !WildcardMatch(rule.pattern, target))
            continue;
        if (rule.remaining > 0)
            --rule.remaining;
        return rule.fault;
    }
    return std::nullopt;
}
