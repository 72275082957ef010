#pragma once

// Driving the export window in a real window: answering its save panel and alerts as a user does, and a
// fixture with an editor window and a small map "Plan" (children "Ünïcödé A" with "A1", and "B").

#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>

#include "document/VQDocument.h"
#include "exportui/ExportWindowController.h"
#include "platform/UserDefaults.h"
#include "UiTestSupport.h"

namespace velquine::test {

// Runs the handler on the next modal window of type T once it is up (a save panel or an alert).
template <typename T>
void whenModal(std::function<void(T*)> handler)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, handler] {
        if (T* window = qobject_cast<T*>(QApplication::activeModalWidget()); window && window->isVisible()) {
            timer->stop();
            timer->deleteLater();
            handler(window);
        }
    });
    timer->start();
}

// Types the path into the save panel's name field and presses Return; remembers the proposed name and the
// folder the panel started in.
inline void answerSavePanel(const QString& path, QString* proposed = nullptr, QString* folder = nullptr)
{
    whenModal<QFileDialog>([path, proposed, folder](QFileDialog* panel) {
        auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (proposed)
            *proposed = name ? name->text() : QString();
        if (folder)
            *folder = panel->directory().absolutePath();
        if (path.isEmpty()) {
            panel->reject();
            return;
        }
        // The folder is chosen first and only the name typed, as a user does; typing a whole path makes the
        // panel's completer wander through the folders on the way.
        const QFileInfo target(path);
        panel->setDirectory(target.path());
        name->clear();
        QTest::keyClicks(name, target.fileName());
        QTest::keyClick(name, Qt::Key_Return);
    });
}

// Clicks a check box on its box (a check box stretched by its layout takes no click beyond its text).
inline void clickSwitch(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

struct AlertSeen {
    QString text;
    QString informative;
    bool hadCheckBox = false;
};

// Notes the alert's texts, ticks its check box when asked, and clicks its button.
inline void answerAlert(AlertSeen* seen, bool tick = false, const QString& screenshot = QString())
{
    whenModal<QMessageBox>([seen, tick, screenshot](QMessageBox* box) {
        seen->text = box->text();
        seen->informative = box->informativeText();
        seen->hadCheckBox = box->checkBox() != nullptr;
        if (tick && box->checkBox())
            box->checkBox()->setChecked(true);
        if (!screenshot.isEmpty())
            test::saveScreenshot(box, screenshot);
        QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
    });
}

class ExportWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        document = std::make_shared<VQDocument>();
        Node root(1, std::nullopt, NodeStyle());
        root.title = "Plan";
        root.childrenUIDs = {2, 3};
        Node a(2, 1, NodeStyle());
        a.title = "Ünïcödé A";
        a.childrenUIDs = {4};
        Node a1(4, 2, NodeStyle());
        a1.title = "A1";
        Node b(3, 1, NodeStyle());
        b.title = "B";
        document->projectForLoading().graph.updateNodes({root, a, a1, b});
        editor.resize(900, 600);
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    }
    ExportWindowController* open()
    {
        showExportWindow(&editor, document);
        auto* window = editor.findChild<ExportWindowController*>();
        EXPECT_TRUE(window && QTest::qWaitForWindowExposed(window));
        return window;
    }
    void choose(ExportWindowController* window, const char* identifier)
    {
        QAction* item = window->toolbar->findChild<QAction*>(QString::fromLatin1(identifier));
        ASSERT_TRUE(item);
        QTest::mouseClick(window->toolbar->widgetForAction(item), Qt::LeftButton);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    std::string read(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(missing)");
    }

    ScopedStandardUserDefaults settings;
    std::shared_ptr<VQDocument> document;
    QMainWindow editor;
    QTemporaryDir dir;
};

} // namespace velquine::test
