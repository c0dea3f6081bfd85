#pragma once

#include <Qt>

class QWidget;

// What the keys of a wireless presenter (and their keyboard twins) do on the stage. Common presenters
// send PageDown / PageUp (Logitech R400, R700, R800; Kensington), Right / Left or Down / Up (cheap
// ones), "." or "B" for a black screen, and F5 and Esc in turn on their "start show" button.
//
// - PageDown, Right: the draw toggle, as Space; on a finished prize they move on to the next prize
//   with places left instead of raising a box (DrawSession::From::Clicker).
// - PageUp, Left: the previous prize in the selector, only while no names roll.
// - Up, Down: scroll the winners grid a row.
// - B or ".": a black screen over the stage, again to take it away; W or ",": a white one. While the
//   stage is covered, any other presenter key (Space and Enter included) only takes the cover away:
//   a host pressing "next" in the dark first gets the stage back, never a draw they cannot see.
// - Esc: closes the open panel and nothing else; F5: nothing. Neither ever leaves full screen or
//   ends the program.
// Held keys repeat only the scrolling. Keys with Ctrl, Alt or Meta, and every key while the operator
// types in a text field, are left alone.
class PresenterKeys {
public:
    enum class Cover { None, Black, White };
    enum class Action {
        Pass,          // not a presenter key here: it goes where it would have gone
        Toggle,        // the draw toggle
        PreviousPrize, // the previous prize in the selector
        ScrollUp,      // the winners grid, a row up
        ScrollDown,    // the winners grid, a row down
        CoverChanged,  // cover() is new: show it (or take it away)
        Close,         // close the open panel
        Swallow,       // a presenter key that does nothing now
    };
    struct Press {
        int key = 0;
        Qt::KeyboardModifiers modifiers;
        bool autoRepeat = false;
        bool typing = false;  // the focus is in a text field
        bool rolling = false; // names roll (the main or the supplementary draw)
        // Space and Enter work the draw toggle whatever has the focus (the operator's console, and the
        // stage while its control bar is hidden), instead of pressing the focused button.
        bool confirmToggles = false;
    };

    Action press(const Press& press);
    Cover cover() const { return m_cover; }
    // The cover is taken away by other means (a click on it).
    void uncover() { m_cover = Cover::None; }

    // Whether the key is the clicker's draw key (PageDown, Right), not the keyboard's Space or Enter.
    static bool clickerDraws(int key);
    // Whether the widget takes typed text (a line edit, a spin box, an editable text or drop-down).
    static bool takesTyping(const QWidget* widget);

private:
    Cover m_cover = Cover::None;
};
