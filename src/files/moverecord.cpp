// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/moverecord.h"

#include "files/fileoperations.h"
#include "files/renamerun.h"
#include "files/undojournal.h"

#include <QFile>

#include <ctime>
#include <sys/stat.h>

namespace morvane::files {

namespace {

    // A rename run's record is "run"; an undo's is this prefix and the entry's action.
    constexpr std::string_view kUndoPrefix = "undo:";

    QByteArray native(const std::string &path)
    {
        return QByteArray::fromStdString(path);
    }

    bool exists(const std::string &path, struct stat &st)
    {
        return ::lstat(path.c_str(), &st) == 0;
    }

    bool isUndoRecord(const journal::Entry &record)
    {
        return record.action.rfind(kUndoPrefix, 0) == 0;
    }

    // Moves on what a killed process left: never replaces a file, asks nothing, and passes its
    // reports and progress on.
    class NeverReplace : public Prompter
    {
    public:
        explicit NeverReplace(Prompter &user)
            : m_user(user)
        {}
        ReplaceAnswer askReplace(const QByteArray &, const QByteArray &, bool) override
        {
            return ReplaceAnswer::No;
        }
        bool confirm(const QString &) override { return false; }
        void reportError(const QString &message) override { m_user.reportError(message); }
        void progressStarted(const QString &title, qint64 total) override
        {
            m_user.progressStarted(title, total);
        }
        bool progressed(qint64 done, const QByteArray &current) override
        {
            return m_user.progressed(done, current);
        }
        void progressFinished() override { m_user.progressFinished(); }

    private:
        Prompter &m_user;
    };

    // Whether an entry of the journal holds `item` moved, as it stands at its target now.
    bool isJournaled(const UndoJournal &journal, const journal::Item &item)
    {
        const journal::Stamp now = stampOf(native(item.to));
        for (const journal::Entry &e : journal.entries()) {
            for (const journal::Item &x : e.items) {
                if (x.op == journal::Op::Move && x.from == item.from && x.to == item.to
                    && x.stamp == now)
                    return true;
            }
        }
        return false;
    }

    // Takes the item that an undo has moved back (`back`: from its new place to its old one)
    // out of the newest entry that holds it.
    void forgetUndone(Prompter &prompter, UndoJournal &journal, const journal::Item &back)
    {
        const std::vector<journal::Entry> all = journal.entries();
        for (auto e = all.rbegin(); e != all.rend(); ++e) {
            journal::Entry rest = *e;
            std::erase_if(rest.items, [&](const journal::Item &x) {
                return x.op == journal::Op::Move && x.from == back.to && x.to == back.from;
            });
            if (rest.items.size() == e->items.size())
                continue;
            QString error;
            if (!journal.replace(
                    *e, rest.items.empty() ? std::nullopt : std::optional(rest), &error))
                prompter.reportError(error);
            return;
        }
    }

} // namespace

bool isMoveRecord(const journal::Entry &record)
{
    return record.action != "run";
}

MoveIntent::MoveIntent(Prompter &prompter, UndoJournal &journal)
    : m_prompter(prompter)
    , m_journal(journal)
{}

MoveIntent::~MoveIntent()
{
    for (const QByteArray &tag : m_tags)
        m_journal.releaseIntent(tag);
}

void MoveIntent::begin(const std::string &action,
    const QList<QByteArray> &sources,
    const QList<QByteArray> &targets,
    std::vector<bool> &merged)
{
    for (const auto &[tag, record] : m_journal.intents()) {
        if (!record || !isMoveRecord(*record) || isUndoRecord(*record)) {
            m_journal.releaseIntent(tag); // left to recovery
            continue;
        }
        bool taken = false;
        bool all = true;
        for (const journal::Item &item : record->items) {
            bool found = false;
            for (qsizetype k = 0; k < sources.size() && k < targets.size(); ++k) {
                if (sources[k].toStdString() == item.from && targets[k].toStdString() == item.to) {
                    merged[static_cast<std::size_t>(k)] = false;
                    found = true;
                }
            }
            taken = taken || found;
            all = all && found;
        }
        // A record with other items stays for recovery, which skips what this request journals.
        // What the killed move finished is journaled now: this request finds it gone.
        Recovery unused;
        if (taken && all && settleMove(m_prompter, m_journal, *record, unused, false))
            m_tags.push_back(tag);
        else
            m_journal.releaseIntent(tag);
    }
    journal::Entry record {static_cast<std::int64_t>(std::time(nullptr)), action, {}};
    for (qsizetype k = 0; k < sources.size() && k < targets.size(); ++k) {
        if (!merged[static_cast<std::size_t>(k)])
            record.items.push_back({journal::Op::Move,
                sources[k].toStdString(),
                targets[k].toStdString(),
                {},
                stampOf(sources[k])});
    }
    const QByteArray tag = UndoJournal::newTag();
    if (!record.items.empty() && m_journal.writeIntent(tag, record))
        m_tags.push_back(tag);
}

void MoveIntent::beginUndo(const std::string &action, const journal::Item &item)
{
    const journal::Entry record {static_cast<std::int64_t>(std::time(nullptr)),
        std::string(kUndoPrefix) + action,
        {{journal::Op::Move, item.to, item.from, {}, item.stamp}}};
    const QByteArray tag = UndoJournal::newTag();
    if (m_journal.writeIntent(tag, record))
        m_tags.push_back(tag);
}

void MoveIntent::end()
{
    for (const QByteArray &tag : m_tags)
        m_journal.removeIntent(tag);
    m_tags.clear();
}

bool settleMove(Prompter &prompter,
    UndoJournal &journal,
    const journal::Entry &record,
    Recovery &recovery,
    bool finish)
{
    const bool undoing = isUndoRecord(record);
    NeverReplace quiet(prompter);
    journal::Entry moved {static_cast<std::int64_t>(std::time(nullptr)), record.action, {}};
    bool settled = true;
    for (const journal::Item &item : record.items) {
        if (!undoing && isJournaled(journal, item))
            continue; // journaled by a rerun of the same move
        struct stat from
        {
        };
        struct stat to
        {
        };
        if (!exists(item.to, to))
            continue; // not begun, or given up cleanly
        if (exists(item.from, from) && !finish)
            continue;
        if (exists(item.from, from)) {
            // Cut short: moved on as a rerun would, a finished copy's source removed.
            (void)FileOperations(quiet).move({native(item.from)}, {native(item.to)});
            if (exists(item.from, from)) {
                if (S_ISDIR(from.st_mode) && S_ISDIR(to.st_mode)) {
                    prompter.reportError(
                        QStringLiteral("中断した移動を終えられませんでした。「%1」と「%2」に"
                                       "分かれています。記録は残し、次の機会にもう一度試します。")
                            .arg(QFile::decodeName(native(item.from)),
                                QFile::decodeName(native(item.to))));
                    settled = false;
                }
                continue; // a file that was not its copy: the move never reached it
            }
        }
        if (undoing) {
            forgetUndone(prompter, journal, item);
            ++recovery.undone;
            recovery.undoneAction = record.action.substr(kUndoPrefix.size());
        } else {
            moved.items.push_back(
                {journal::Op::Move, item.from, item.to, {}, stampOf(native(item.to))});
        }
    }
    QString error;
    if (!moved.items.empty() && !journal.append(moved, &error))
        prompter.reportError(error);
    return settled;
}

} // namespace morvane::files
