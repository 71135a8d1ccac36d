#pragma once

#include "Color.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class ColorPicker;
class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QStackedWidget;

// The application's one colour panel: a tool window with a row of picker
// buttons over the chosen picker's view. It holds one colour object (never a
// copy of its components), passes every new colour to the active colour well
// and sends its action to its target.
class ColorPanel : public QWidget
{
    Q_OBJECT

public:
    // Picker mask bits and the modes they stand for.
    enum : int {
        GrayModeMask = 0x1, RGBModeMask = 0x2, CMYKModeMask = 0x4, HSBModeMask = 0x8,
        CustomPaletteModeMask = 0x10, ColorListModeMask = 0x20, WheelModeMask = 0x40,
        CrayonModeMask = 0x80, AllModesMask = 0xFFFF,
    };
    enum : int { GrayMode = 0, RGBMode = 1, CMYKMode = 2, HSBMode = 3, CustomPaletteMode = 4,
                 ColorListMode = 5, WheelMode = 6, CrayonMode = 7 };

    using PickerFactory = std::function<ColorPicker *()>;
    // Makes a picker kind known to the panel; pickers are created, with the
    // picker mask, when the shared panel is first asked for.
    static void registerPicker(PickerFactory factory);
    // Takes effect only before the shared panel is first asked for.
    static void setPickerMask(int mask);
    static int pickerMask();
    static ColorPanel *sharedColorPanel();
    static bool sharedColorPanelExists();

    ColorRef color() const { return m_color; }
    // Makes color the panel's colour (the very object): the pickers and the
    // active well get it and, continuous or not, the target its action.
    void setColor(ColorRef color);

    void setTarget(QObject *target) { m_target = target; }
    QObject *target() const { return m_target; }
    // The name of a slot of the target taking the panel (a QObject *).
    void setAction(const QByteArray &slotName) { m_action = slotName; }
    QByteArray action() const { return m_action; }
    void setContinuous(bool continuous) { m_continuous = continuous; }
    bool isContinuous() const { return m_continuous; }
    void setShowsAlpha(bool shows);
    bool showsAlpha() const { return m_showsAlpha; }

    void setMode(int mode);
    int mode() const;
    QList<ColorPicker *> pickers() const { return m_pickers; }
    ColorPicker *currentPicker() const;

    // The colour well the panel's colour goes to; null for none.
    void setActiveWell(QWidget *well);
    QWidget *activeWell() const { return m_activeWell; }

    // The chosen colour came from a picker the user is still moving: sent to
    // the target now only when the panel is continuous.
    void setColorWhileChoosing(ColorRef color);
    // The end of such a choice: the target gets the action if it hadn't yet.
    void finishChoosing();

signals:
    void colorChanged(ColorRef color);
    void activeWellChanged(QWidget *well);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    explicit ColorPanel(int mask);
    void showPicker(int index);
    void sendAction();
    void takeColor(ColorRef color);

    QList<ColorPicker *> m_pickers;
    QList<QWidget *> m_views;
    QButtonGroup *m_buttons = nullptr;
    QHBoxLayout *m_buttonRow = nullptr;
    QStackedWidget *m_stack = nullptr;
    QLabel *m_swatch = nullptr;
    ColorRef m_color;
    QPointer<QObject> m_target;
    QByteArray m_action;
    bool m_continuous = false;
    bool m_showsAlpha = false;
    bool m_actionPending = false;
    QPointer<QWidget> m_activeWell;
};
