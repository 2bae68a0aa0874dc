// SPDX-License-Identifier: MIT
// The window on the offscreen platform: what the user sees first, the
// keyboard, and where each click, failure or close ends.

#include "doubles.h"
#include "form_cases.h"
#include "map_resolver.h"
#include "platform/linux/program.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

#include <memory>

// A failing comparison of logs, or of lists, shows both.
template <>
char* QTest::toString(const testing_doubles::Log& log)
{
    QStringList entries;
    for (const auto& entry : log) entries << QString::fromStdString(entry);
    return qstrdup(qPrintable(entries.join(QStringLiteral(" | "))));
}

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

// Qt lays out in pixels of 96 dpi and scales them to the screen.
static_assert(form_cases::kLayouts[0].dpi == 96);

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
        QCOMPARE(entries(*combo()), form_cases::kEntries);
        QCOMPARE(combo()->currentIndex(), -1);
        QCOMPARE(focusedControl(form()), qs(form_cases::kFirstFocus));
        QVERIFY(form()->control(QStringLiteral("MSComm1")) == nullptr); // hosted, not a widget
        QVERIFY(log.empty());
        const auto& at96 = form_cases::kLayouts[0];
        QCOMPARE(form()->size(), QSize(at96.clientWidth, at96.clientHeight));
        QVERIFY(form()->minimumSize() == form()->maximumSize());
        QVERIFY(!(form()->windowFlags() & Qt::WindowMaximizeButtonHint));
        // The pulse figure: every segment drawn end to end, dark on the window's background.
        const QImage image = form()->grab().toImage();
        const QColor background = image.pixelColor(205, 5);
        for (const auto& segment : at96.figure)
            for (const auto& [x, y] : segment.pixels())
                QVERIFY2(image.pixelColor(x, y).lightness() < background.lightness() - 100,
                         qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
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

    void eachControlAsShown_data() { caseRows(form_cases::kControls); }
    void eachControlAsShown()
    {
        QFETCH(int, row);
        const auto& c = form_cases::kControls[row];
        const auto& at96 = form_cases::kLayouts[0];
        startProgram();
        const QWidget* widget = control(c.name);
        QVERIFY(widget);
        QCOMPARE(widget->property(c.kind == form_cases::Kind::List ? "currentText" : "text").toString(), qs(c.text));
        const auto& r = at96.controls[row];
        QCOMPARE(widget->geometry(), QRect(r.left, r.top, r.width, r.height));
        const QFontInfo font(widget->font());
        if (qs(c.face) == QStringLiteral("Arial")) QCOMPARE(font.family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(widget->font().pointSizeF(), c.points);
        QCOMPARE(font.bold(), c.bold);
        QCOMPARE(font.underline(), c.underline);
        QVERIFY(!font.italic() && !font.strikeOut());
        // What a screen reader reads through Qt's accessibility interface:
        // the control's role, its text, and the label naming the list.
        const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control(c.name));
        const QAccessible::Role roles[] = {QAccessible::StaticText, QAccessible::ComboBox, QAccessible::Button};
        QCOMPARE(accessible->role(), roles[int(c.kind)]);
        QCOMPARE(accessible->text(QAccessible::Name), qs(c.text));
        const auto labels = accessible->relations(QAccessible::Label);
        QCOMPARE(labels.isEmpty() ? QString() : labels.first().first->object()->objectName(),
                 c.kind == form_cases::Kind::List ? QStringLiteral("Label1") : QString());
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
        QCOMPARE(entries(*combo()), form_cases::kEntries);
        QVERIFY(form()->isVisible());
        QVERIFY(log.empty());
    }

    void eachButtonRunsItsCommandOnce_data() { caseRows(form_cases::kButtonCases); }
    void eachButtonRunsItsCommandOnce()
    {
        QFETCH(int, row);
        const auto& c = form_cases::kButtonCases[row];
        if (c.toolkit == form_cases::Toolkit::Win32) QSKIP("Windows' dialog manager's keyboard");
        startProgram(c.refuseWrite);
        const int index = combo()->findText(qs(c.listText));
        if (index >= 0)
            combo()->setCurrentIndex(index);
        else
            combo()->setEditText(qs(c.listText));
        if (c.duringPulse) sleep.during = [this, &c] { postClick(control(c.duringPulse)); };
        for (const std::string& button : c.buttons) {
            const QString name = QString::fromStdString(button);
            if (c.key == form_cases::Key::None) postClick(form()->control(name));
            for (int tabs = 0; c.key != form_cases::Key::None && focusedControl(form()) != name && tabs < 4; ++tabs)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (c.key != form_cases::Key::None)
                QTest::keyClick(QApplication::focusWidget(),
                                c.key == form_cases::Key::Enter ? Qt::Key_Return : Qt::Key_Space);
        }
        // Twice: what is posted during a pulse waits for the next round of posted events.
        for (int round = 0; round < 2; ++round) QCoreApplication::processEvents();
        QCOMPARE(log, c.expected);
        program->tearDown();
        QCOMPARE(log.back(), std::string("destroyed")); // the component goes with the window
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
