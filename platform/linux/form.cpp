// SPDX-License-Identifier: MIT
#include "form.h"

#include <QCursor>
#include <QFontDatabase>
#include <QIcon>
#include <QImageReader>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <vector>

namespace platform {
namespace {

QFont fontFor(const console::FontDef& def)
{
    QFont font(QString::fromLatin1(def.face));
    font.setPointSizeF(def.points);
    font.setWeight(static_cast<QFont::Weight>(def.weight));
    font.setUnderline(def.underline);
    font.setItalic(false);
    font.setStrikeOut(false);
    return font;
}

QRect pixelRect(int left, int top, int width, int height)
{
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

// The sizes a window shows (title bar, task switcher), as PNG, which Qt
// decodes itself. The format is named and probing is off: otherwise
// QImageReader loads every image-format plugin to ask whether it reads the
// file (createReadHandlerHelper in qimagereader.cpp), libqjpeg and libjpeg
// among them, before the window shows. The same happens for an .ico, and an
// icon theme's SVG needs an icon engine plugin besides. Docks find the menu
// entry's themed icon by the desktop file name (main.cpp), not from here.
QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QImageReader reader(QStringLiteral(":/dtr-pulse-out-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

} // namespace

void installFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"),
                              QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
}

Form::Form(const console::WindowDef& def, std::unique_ptr<HostedComponent> comm, const PortResolver& resolver)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      def_(def), comm_(std::move(comm))
{
    installFontSubstitutes();
    setObjectName(QString::fromLatin1(def.name));
    setWindowTitle(QString::fromUtf8(def.caption));
    setWindowIcon(programIcon());
    setFixedSize(pixels(def.clientWidth), pixels(def.clientHeight));
    for (const auto& control : def.controls) {
        if (control.kind == console::ControlKind::SerialComponent) continue; // invisible: no widget
        if (control.kind == console::ControlKind::ComboBox) combo_ = new PortCombo(resolver, this);
        QWidget* widget = createControl(control);
        widget->setObjectName(QString::fromLatin1(control.name));
        widget->setGeometry(pixelRect(control.left, control.top, control.width, control.height));
        if (control.font) widget->setFont(fontFor(*control.font));
    }
    orderTabs();
    // A screen reader names the port list by the label whose buddy it is
    // (AT-SPI's labelled-by relation, QAccessibleWidget::relations).
    if (auto* label = findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) label->setBuddy(combo_);
}

QWidget* Form::createControl(const console::ControlDef& control)
{
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
    case console::ControlKind::Label: return new QLabel(text, this);
    case console::ControlKind::ComboBox: combo_->setEditText(text); return combo_;
    case console::ControlKind::CommandButton: {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false); // as outside any dialog: Space presses it, Enter does not
        return button;
    }
    case console::ControlKind::SerialComponent: break;
    }
    return nullptr;
}

void Form::orderTabs()
{
    std::vector<QWidget*> chain;
    for (const auto* def : def_.tabOrder())
        if (QWidget* widget = control(QString::fromLatin1(def->name)); widget && widget->focusPolicy() != Qt::NoFocus)
            chain.push_back(widget);
    for (std::size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
    if (!chain.empty()) chain.front()->setFocus(); // the first in tab order has the focus at first display
}

QWidget* Form::control(const QString& name) const { return findChild<QWidget*>(name, Qt::FindDirectChildrenOnly); }

void Form::wireClicks(const std::function<void(console::Handler)>& run)
{
    for (const auto& def : def_.controls) {
        const auto handler = def_.handlerFor(def.name, console::Event::Click);
        auto* button = qobject_cast<QPushButton*>(control(QString::fromLatin1(def.name)));
        if (handler && button) connect(button, &QPushButton::clicked, this, [run, h = *handler] { run(h); });
    }
}

void Form::placeOnScreen()
{
    const QRect stored(pixels(def_.clientLeft), pixels(def_.clientTop), width(), height());
    // Room for a typical frame around the client area.
    const QRect withFrame = stored.adjusted(-8, -32, 8, 8);
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen && screen->availableGeometry().contains(withFrame)) setGeometry(stored);
}

void Form::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this); // the default pen: thin, solid
    for (const auto& line : def_.lines)
        painter.drawLine(pixels(line.x1), pixels(line.y1), pixels(line.x2), pixels(line.y2));
}

} // namespace platform
