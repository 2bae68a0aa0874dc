// SPDX-License-Identifier: MIT
// The window on the offscreen platform: what the user sees first, the
// keyboard, and where each click, failure or close ends.

#include "console/console_window.h"
#include "doubles.h"
#include "form_cases.h"
#include "map_resolver.h"
#include "platform/linux/program.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

using namespace testing_doubles;

// Queues a click the way a window system does while the thread is blocked.
void postClick(QWidget* button)
{
    const QPointF at = QRectF(button->rect()).center();
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(button, new QMouseEvent(type, at, button->mapToGlobal(at), Qt::LeftButton,
                                                            type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                                             : Qt::NoButton,
                                                            Qt::NoModifier));
}

form_cases::Texts entries(const QComboBox& combo)
{
    form_cases::Texts texts;
    for (int i = 0; i < combo.count(); ++i) texts.push_back(combo.itemText(i).toStdString());
    return texts;
}

QString qs(const char* text) { return QString::fromUtf8(text); }

// A data row for each case of a shared table, named after it, holding its index.
template <typename Case, std::size_t N>
void caseRows(const Case (&cases)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i) QTest::newRow(cases[i].name) << int(i);
}

// The control of the form that holds the focus (the combo box for its edit field).
QString focusedControl(const QWidget* form)
{
    const QWidget* w = QApplication::focusWidget();
    while (w && w->parentWidget() != form) w = w->parentWidget();
    return w ? w->objectName() : QString();
}

} // namespace

class FormTest : public QObject {
    Q_OBJECT

    Log log;
    MapResolver resolver;
    RecordingReporter reporter {log};
    RecordingSleep sleep {log};
    std::unique_ptr<platform::Program> program;

    // realReport: the message box; realExit: the end of the event loop.
    void makeProgram(int refuseWrite = -1, bool realReport = false, bool realExit = false)
    {
        program.reset();
        log.clear();
        sleep.during = nullptr;
        std::function<void(int)> exit = [this](int status) { log.push_back("exit " + std::to_string(status)); };
        program = std::make_unique<platform::Program>(
            platform::ProgramParts {resolver, std::make_unique<RecordingComponent>(log, refuseWrite), sleep,
                                    realReport ? nullptr : &reporter, realExit ? nullptr : exit});
    }
    void startProgram(int refuseWrite = -1)
    {
        makeProgram(refuseWrite);
        program->start();
        QApplication::setActiveWindow(form());
        QVERIFY(QTest::qWaitForWindowExposed(form()));
    }
    platform::Form* form() const { return program->form(); }
    QWidget* control(const char* name) const { return form()->control(QString::fromLatin1(name)); }
    QComboBox* combo() const { return qobject_cast<QComboBox*>(control("Combo1")); }

private slots:
    void initTestCase() { resolver.devices[1] = "/dev/ttyUSB0"; }
    void cleanup() { program.reset(); }

    void firstDisplay()
    {
        startProgram();
        QCOMPARE(form()->windowTitle(), QStringLiteral("DTR Pulse Out"));
        QVERIFY(!form()->windowIcon().availableSizes().isEmpty());
        // The icon costs no image-format plugin (each one loaded slows the start).
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY2(!maps.readAll().contains("/imageformats/"), "an image-format plugin was loaded");
        QVERIFY(entries(*combo()) == form_cases::entries());
        QCOMPARE(combo()->currentIndex(), -1);
        QCOMPARE(combo()->currentText(), qs(form_cases::kInitialText));
        QCOMPARE(focusedControl(form()), qs(form_cases::kFirstFocus));
        QVERIFY(form()->control(QStringLiteral("MSComm1")) == nullptr); // hosted, not a widget
        QVERIFY(log.empty());
    }

    void tabCycle_data() { caseRows(form_cases::kTabCases); }
    void tabCycle()
    {
        QFETCH(int, row);
        const auto& c = form_cases::kTabCases[row];
        startProgram();
        for (const std::string& expected : c.visits) {
            QTest::keyClick(QApplication::focusWidget(), c.backwards ? Qt::Key_Backtab : Qt::Key_Tab);
            QCOMPARE(focusedControl(form()), QString::fromStdString(expected));
        }
    }

    void geometryAndFontsFollowTheDefinition()
    {
        startProgram();
        for (const auto& def : console::form1().controls) {
            if (def.kind == console::ControlKind::SerialComponent) continue;
            const QWidget* widget = control(def.name);
            QVERIFY2(widget, def.name);
            QCOMPARE(widget->geometry(), QRect(def.left / 15, def.top / 15, def.width / 15, def.height / 15));
            const QFontInfo font(widget->font());
            if (QString::fromLatin1(def.font->face) == QStringLiteral("Arial"))
                QCOMPARE(font.family(), QStringLiteral("Liberation Sans"));
            QCOMPARE(widget->font().pointSizeF(), def.font->points);
            QCOMPARE(font.bold(), def.font->weight >= 700);
            QCOMPARE(font.underline(), def.font->underline);
            QVERIFY(!font.italic() && !font.strikeOut());
        }
        QCOMPARE(form()->size(), QSize(208, 200));
        QVERIFY(form()->minimumSize() == form()->maximumSize());
        QVERIFY(!(form()->windowFlags() & Qt::WindowMaximizeButtonHint));
        // The pulse figure: every segment drawn, dark on the window's background.
        const QImage image = form()->grab().toImage();
        const QColor background = image.pixelColor(205, 5);
        for (const auto& line : console::form1().lines) {
            const QPoint mid((line.x1 + line.x2) / 30, (line.y1 + line.y2) / 30);
            QVERIFY2(image.pixelColor(mid).lightness() < background.lightness() - 100, line.name);
        }
    }

    void screenReadersReadEachControl()
    {
        // What a screen reader reads through Qt's accessibility interface:
        // each control's role, name, and the label naming it.
        const std::tuple<const char*, QAccessible::Role, const char*, const char*> rows[] = {
            {"Label1", QAccessible::StaticText, "Select Comm Port First", ""},
            {"Combo1", QAccessible::ComboBox, "Comm Port", "Label1"}, {"Command3", QAccessible::Button, "Start", ""},
            {"Command1", QAccessible::Button, "Pulse Out", ""}, {"Command2", QAccessible::Button, "Stop and Close", ""}};
        startProgram();
        for (const auto& [name, role, said, labelledBy] : rows) {
            const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control(name));
            const auto labels = accessible->relations(QAccessible::Label);
            QCOMPARE(accessible->role(), role);
            QCOMPARE(accessible->text(QAccessible::Name), qs(said));
            QCOMPARE(labels.isEmpty() ? QString() : labels.first().first->object()->objectName(), qs(labelledBy));
        }
    }

    void inputThatRunsNothing_data() { caseRows(form_cases::kInputCases); }
    void inputThatRunsNothing()
    {
        QFETCH(int, row);
        const auto& c = form_cases::kInputCases[row];
        startProgram();
        combo()->setFocus();
        combo()->lineEdit()->selectAll();
        QTest::keyClicks(combo()->lineEdit(), qs(c.typed));
        QWidget* target = c.target == form_cases::Target::Window ? static_cast<QWidget*>(form()) : combo()->lineEdit();
        if (c.key != form_cases::Key::None)
            QTest::keyClick(target, c.key == form_cases::Key::Enter ? Qt::Key_Return : Qt::Key_Escape);
        QTest::keyClick(form(), Qt::Key_Escape); // Esc on the window: no cancel button
        QCOMPARE(combo()->currentText(), qs(c.text));
        QVERIFY(entries(*combo()) == form_cases::entries());
        QVERIFY(form()->isVisible());
        QVERIFY(log.empty());
    }

    void eachButtonRunsItsCommandOnce_data() { caseRows(form_cases::kButtonCases); }
    void eachButtonRunsItsCommandOnce()
    {
        QFETCH(int, row);
        const auto& c = form_cases::kButtonCases[row];
        if (c.toolkit == form_cases::Toolkit::Win32) QSKIP("Windows' dialog manager's keyboard");
        startProgram();
        const int index = combo()->findText(qs(c.listText));
        if (index >= 0)
            combo()->setCurrentIndex(index);
        else
            combo()->setEditText(qs(c.listText));
        if (c.key == form_cases::Key::None) QTest::mouseClick(control(c.button), Qt::LeftButton);
        for (int tabs = 0; c.key != form_cases::Key::None && focusedControl(form()) != qs(c.button) && tabs < 4; ++tabs)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (c.key != form_cases::Key::None)
            QTest::keyClick(QApplication::focusWidget(),
                            c.key == form_cases::Key::Enter ? Qt::Key_Return : Qt::Key_Space);
        QCoreApplication::processEvents();
        QCOMPARE(log, c.expected);
    }

    void clickDuringAPulseRunsAfterIt()
    {
        startProgram();
        sleep.during = [this] { postClick(control("Command1")); };
        QTest::mouseClick(control("Command1"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(log, form_cases::twoPulses());
    }

    void nothingRunsAfterStopAndClose()
    {
        startProgram();
        postClick(control("Command2"));
        postClick(control("Command3")); // already queued behind Stop and Close
        postClick(control("Command1"));
        QCoreApplication::processEvents();
        QCOMPARE(log, form_cases::kNothingAfterStop);
        program->tearDown();
        QCOMPARE(log.back(), std::string("destroyed"));
    }

    void failingCommandIsReportedAndEndsTheProgram()
    {
        startProgram(/*refuseWrite=*/1);
        combo()->setEditText(qs(form_cases::kRefusedListText));
        QTest::mouseClick(control("Command3"), Qt::LeftButton);
        QTest::mouseClick(control("Command1"), Qt::LeftButton); // after the end: runs nothing
        QCOMPARE(log, form_cases::kRefusalLog);
        QCOMPARE(program->dispatch().exitStatus(), 1);
    }

    void frameCloseEndsTheLoopRunningNoCommand()
    {
        // The whole run, as the entry makes it: the loop ends when the last
        // window has gone, and the component goes with the window.
        makeProgram(-1, false, /*realExit=*/true);
        QTimer::singleShot(0, [this] {
            combo()->setEditText(QStringLiteral("1"));
            QTest::mouseClick(control("Command3"), Qt::LeftButton);
            log.push_back("started");
            form()->close();
        });
        QCOMPARE(program->run(), 0);
        QCOMPARE(log, (Log {"CommPort=1", "PortOpen=true", "DTREnable=false", "started", "destroyed"}));
        QVERIFY(!program->dispatch().ended());
    }

    void errorReportAfterTheWindowHasGone()
    {
        // The real message box: what it shows is read, then it is closed.
        makeProgram(-1, /*realReport=*/true);
        program->start();
        program->tearDown();
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            log.push_back((box->windowTitle() + " | " + box->text()).toStdString());
            box->close();
        });
        program->dispatch().run([] { throw console::UntrappedError(8017, "Device gone."); });
        QCOMPARE(log, (Log {"destroyed", "DTR Pulse Out | Run-time error '8017':\n\nDevice gone.", "exit 1"}));
    }

    void entryTooltipsNameTheirDevices()
    {
        startProgram();
        combo()->showPopup();
        QCOMPARE(combo()->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("Port 1 opens /dev/ttyUSB0"));
        QCOMPARE(combo()->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("No device has port number 2 now"));
        combo()->hidePopup();
        QCOMPARE(combo()->itemText(0), QStringLiteral("1"));
    }
};

QTEST_MAIN(FormTest)
#include "form_test.moc"
