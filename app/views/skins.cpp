#include "skins.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include <array>

namespace {

// A look is a handful of colours; everything else in the palette and the style sheet is derived.
struct Skin {
    const char *name;
    const char *window;     // page background
    const char *windowText; // labels
    const char *base;       // edit fields and lists
    const char *text;       // text in fields
    const char *button;
    const char *buttonText;
    const char *highlight; // selection, selected tab
    const char *highlightedText;
    const char *accent; // group captions, focus and hover frames
    int radius;         // corner rounding of frames and buttons
};

constexpr std::array<Skin, 15> kSkins{{
    {"Aluminium (internal)", "#d5d8dc", "#1d2125", "#f6f7f8", "#1d2125", "#c4c9cf", "#15191d", "#607286",
     "#ffffff", "#3f4c5a", 3},
    {"Beijing (internal)", "#8e1b12", "#ffe7a3", "#fff7e3", "#3b0d08", "#b52d1c", "#ffe08a", "#e2b43c",
     "#3b0d08", "#f6c950", 5},
    {"BlueIce (internal)", "#dcedf8", "#0e3150", "#f6fbff", "#0e3150", "#bddcf1", "#0e3150", "#3f9be0",
     "#ffffff", "#2274b5", 6},
    {"Garnet (internal)", "#3c0e16", "#f4e2e5", "#26080d", "#f8e8ea", "#6e1b29", "#fbe9ec", "#b4314c",
     "#ffffff", "#ec8c9e", 4},
    {"Desert (internal)", "#e9d6ae", "#4a3415", "#fcf5e5", "#4a3415", "#d9bd85", "#3c2a10", "#c27b2f",
     "#ffffff", "#8d581c", 4},
    {"FalloutStyle (internal)", "#0a0f0a", "#5ef27d", "#040804", "#6cff8a", "#12281a", "#7dff98", "#2e8f47",
     "#000000", "#5ef27d", 0},
    {"Golden (internal)", "#d9b34c", "#2d2000", "#fff9df", "#2d2000", "#ecc968", "#2d2000", "#86650c",
     "#ffffff", "#5f4705", 5},
    {"ios4 (internal)", "#eef1f5", "#1c1c1e", "#ffffff", "#1c1c1e", "#f8f9fb", "#0a5fc7", "#2f7de1",
     "#ffffff", "#2f7de1", 8},
    {"Ledenets (internal)", "#f9d4e4", "#4e1131", "#fff1f7", "#4e1131", "#f4a9c9", "#4e1131", "#dd4389",
     "#ffffff", "#b8175a", 9},
    {"Neutral (internal)", "#ececec", "#202020", "#ffffff", "#202020", "#e1e1e1", "#202020", "#3d7ab8",
     "#ffffff", "#3f5f80", 3},
    {"NextAlpha (internal)", "#2d3035", "#e6e7e9", "#1e2125", "#eceef0", "#3e4249", "#f0f0f0", "#5a8fd0",
     "#ffffff", "#91baec", 4},
    {"SoapSky - Lime (internal)", "#e5f6ca", "#233906", "#fbfff3", "#233906", "#bbe46c", "#1d3004", "#4a8510",
     "#ffffff", "#4a840a", 7},
    {"Terminal4bit (internal)", "#000000", "#55ffff", "#000000", "#ffff55", "#0000aa", "#ffff55", "#00aaaa",
     "#000000", "#ffff55", 0},
    {"WMP11 (internal)", "#1a2537", "#dce8f6", "#0e1623", "#e4eefa", "#2b4263", "#eaf2fc", "#3d8ee0",
     "#ffffff", "#82b9ff", 6},
    {"Wood (internal)", "#8a5a31", "#fff1dc", "#f7e8d0", "#3a2410", "#d8a56a", "#3a2410", "#5c3414",
     "#ffffff", "#ffd89e", 4},
}};

QString g_current;

QColor mix(const QColor &a, const QColor &b, double t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

bool isDark(const QColor &c) {
    return c.lightnessF() < 0.45;
}

QPalette paletteOf(const Skin &s) {
    const QColor window(s.window), windowText(s.windowText), base(s.base), text(s.text), button(s.button),
        buttonText(s.buttonText), highlight(s.highlight), highlightedText(s.highlightedText),
        accent(s.accent);

    QPalette p(button, window); // derives Light, Midlight, Mid, Dark and Shadow from the button colour
    p.setColor(QPalette::WindowText, windowText);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, mix(base, window, 0.35));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, buttonText);
    p.setColor(QPalette::BrightText, isDark(window) ? QColor(Qt::white) : QColor(Qt::red));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, highlightedText);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, mix(text, base, 0.5));
    p.setColor(QPalette::Link, accent);
    p.setColor(QPalette::LinkVisited, accent.darker(130));

    p.setColor(QPalette::Disabled, QPalette::WindowText, mix(windowText, window, 0.5));
    p.setColor(QPalette::Disabled, QPalette::Text, mix(text, base, 0.45));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, mix(buttonText, button, 0.5));
    p.setColor(QPalette::Disabled, QPalette::Base, mix(base, window, 0.25));
    p.setColor(QPalette::Disabled, QPalette::Highlight, mix(highlight, window, 0.5));
    return p;
}

QString styleSheetOf(const Skin &s) {
    const QColor window(s.window), base(s.base), text(s.text), button(s.button), buttonText(s.buttonText),
        highlight(s.highlight), accent(s.accent);
    const bool dark = isDark(window);
    const QColor frame = mix(window, dark ? QColor(Qt::white) : QColor(Qt::black), dark ? 0.35 : 0.3);
    const QColor buttonTop = button.lighter(dark ? 125 : 112);
    const QColor buttonBottom = button.darker(dark ? 110 : 108);
    const QColor readOnlyBase = mix(base, window, 0.15);
    const QColor tabTop = window.lighter(dark ? 130 : 104);
    const QColor tabBottom = window.darker(dark ? 105 : 110);

    QString sheet = QStringLiteral(R"(
QGroupBox { border: 1px solid @frame; border-radius: @rpx; margin-top: 1.2ex; padding-top: 0.6ex; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: @accent; }
QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @buttonTop, stop:1 @buttonBottom);
              color: @buttonText; border: 1px solid @frame; border-radius: @rpx; padding: 3px 10px; min-height: 1.4em; }
QPushButton:hover { border-color: @accent; }
QPushButton:pressed { background: @buttonBottom; }
QPushButton:disabled { color: @disabledButtonText; }
QLineEdit { background: @base; color: @text; border: 1px solid @frame; border-radius: @smallrpx; padding: 1px 3px; }
QLineEdit:read-only { background: @readOnlyBase; }
QLineEdit:focus { border-color: @accent; }
QLineEdit:disabled { background: @disabledBase; color: @disabledText; }
QTabWidget::pane { border: 1px solid @frame; border-radius: @smallrpx; top: -1px; }
QTabBar::tab { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @tabTop, stop:1 @tabBottom);
               color: @windowText; border: 1px solid @frame; border-top-left-radius: @rpx;
               border-top-right-radius: @rpx; padding: 4px 6px; margin-right: 1px; }
QTabBar::tab:selected { background: @highlight; color: @highlightedText; border-color: @highlight; }
QTabBar::tab:hover:!selected { border-color: @accent; }
QStatusBar { background: @statusBar; color: @windowText; }
)");
    const std::pair<const char *, QString> values[] = {
        // longer keys first so "@buttonTop" is not eaten by "@button"
        {"@disabledButtonText", mix(buttonText, button, 0.5).name()},
        {"@disabledText", mix(text, base, 0.45).name()},
        {"@disabledBase", mix(base, window, 0.25).name()},
        {"@highlightedText", QColor(s.highlightedText).name()},
        {"@readOnlyBase", readOnlyBase.name()},
        {"@buttonBottom", buttonBottom.name()},
        {"@buttonText", buttonText.name()},
        {"@buttonTop", buttonTop.name()},
        {"@windowText", QColor(s.windowText).name()},
        {"@statusBar", window.darker(dark ? 90 : 106).name()},
        {"@highlight", highlight.name()},
        {"@smallrpx", QString::number(qMin(s.radius, 3)) + QStringLiteral("px")},
        {"@tabBottom", tabBottom.name()},
        {"@tabTop", tabTop.name()},
        {"@accent", accent.name()},
        {"@frame", frame.name()},
        {"@base", base.name()},
        {"@text", text.name()},
        {"@rpx", QString::number(s.radius) + QStringLiteral("px")},
    };
    for (const auto &[key, value] : values)
        sheet.replace(QLatin1String(key), value);
    return sheet;
}

} // namespace

QStringList SkinNames() {
    QStringList names;
    for (const Skin &s : kSkins)
        names << QString::fromUtf8(s.name);
    return names;
}

bool ApplySkin(const QString &name) {
    for (const Skin &s : kSkins) {
        if (name != QString::fromUtf8(s.name))
            continue;
        static const bool fusion = [] {
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
            return true;
        }();
        Q_UNUSED(fusion);
        QApplication::setPalette(paletteOf(s));
        qApp->setStyleSheet(styleSheetOf(s));
        g_current = name;
        return true;
    }
    return false;
}

QString CurrentSkin() {
    return g_current;
}
