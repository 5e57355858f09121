// SPDX-License-Identifier: GPL-3.0-or-later
// A style plugin ("-style morvaneprobe") through which a test watches the installed program from
// outside, with no hook in the program. It begins when the event loop first waits, inside the
// program's own loop after main() has posted what it does at the start, and goes on one posted
// step at a time (so after everything the program posted before): a message box or other modal
// dialog is printed and answered; in the program's loop (level 1, a box's is 2) with no box, it
// prints the path field and the list once, runs the menu command named by $MORVANE_PROBE_TRIGGER if
// any (posted, so a box it shows is answered by the next step), and closes the main window as the
// user would. Lines: "message=", "dialog=" (caption), "folder=", "item=" (list order), "selected=",
// "triggered=".
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMessageBox>
#include <QProxyStyle>
#include <QStylePlugin>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

void say(const char *key, const QString &value)
{
    std::printf("%s=%s\n", key, value.toUtf8().constData());
    std::fflush(stdout);
}

class Watcher : public QObject
{
public:
    Watcher()
        : QObject(qApp)
        , m_trigger(qEnvironmentVariable("MORVANE_PROBE_TRIGGER"))
    {
        setObjectName(QStringLiteral("morvaneprobe"));
        connect(QAbstractEventDispatcher::instance(),
            &QAbstractEventDispatcher::aboutToBlock,
            this,
            [this] {
                disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
                next();
            });
    }

private:
    void next() { QMetaObject::invokeMethod(this, &Watcher::step, Qt::QueuedConnection); }

    void step()
    {
        QMainWindow *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && qobject_cast<QMainWindow *>(w) != nullptr)
                window = qobject_cast<QMainWindow *>(w);
        }
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            say("message", box->text());
            box->accept();
        } else if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            say("dialog", dialog->windowTitle());
            dialog->reject();
        } else if (QThread::currentThread()->loopLevel() == 1 && window != nullptr) {
            if (!m_reported)
                report(window);
            m_reported = true;
            const QList<QAction *> actions = window->findChildren<QAction *>();
            const auto action = std::find_if(actions.begin(), actions.end(), [&](QAction *a) {
                return !m_trigger.isEmpty() && a->text() == m_trigger;
            });
            if (action == actions.end()) {
                window->close();
                return;
            }
            say("triggered", std::exchange(m_trigger, QString()));
            QMetaObject::invokeMethod(*action, &QAction::trigger, Qt::QueuedConnection);
        }
        next();
    }

    static void report(QMainWindow *window)
    {
        for (const QLineEdit *edit : window->findChildren<QLineEdit *>()) {
            if (edit->isReadOnly())
                say("folder", edit->text());
        }
        for (const QListView *list : window->findChildren<QListView *>()) {
            if (list->viewMode() != QListView::IconMode)
                continue;
            for (int row = 0; row < list->model()->rowCount(); ++row)
                say("item", list->model()->index(row, 0).data().toString());
            for (const QModelIndex &i : list->selectionModel()->selectedIndexes())
                say("selected", i.data().toString());
        }
    }

    QString m_trigger;
    bool m_reported = false;
};

class ProbeStyle : public QProxyStyle
{
public:
    ProbeStyle()
        : QProxyStyle(QStringLiteral("Fusion"))
    {
        // The program may make more than one style of this name (for its tool bar, say).
        if (qApp->findChild<QObject *>(QStringLiteral("morvaneprobe"), Qt::FindDirectChildrenOnly)
            == nullptr)
            new Watcher; // owned by the application object
    }
};

} // namespace

class ProbeStylePlugin : public QStylePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QStyleFactoryInterface" FILE "probestyle.json")

public:
    QStyle *create(const QString &key) override
    {
        return key.compare(QLatin1String("morvaneprobe"), Qt::CaseInsensitive) == 0 ? new ProbeStyle
                                                                                    : nullptr;
    }
};

#include "probestyle.moc"
