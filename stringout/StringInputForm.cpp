#include "StringInputForm.h"

#include "FltkDisplay.h"
#include "FltkLock.h"
#include "GuiWarning.h"
#include "OpenForms.h"
#include "SubmitButton.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>

namespace StringOut {

namespace {

// Layout in design units: pixels of a font whose average character cell is
// 6 x 12; scaled per axis by the real font's cell when the window is built.
constexpr int kClientWidth = 284;
constexpr int kClientHeight = 50;
constexpr int kTextX = 12, kTextY = 12, kTextW = 179, kTextH = 19;
constexpr int kButtonX = 197, kButtonY = 10, kButtonW = 75, kButtonH = 23;

int scaledX(int v) { return static_cast<int>(std::lround(v * FltkDisplay::scaleX())); }
int scaledY(int v) { return static_cast<int>(std::lround(v * FltkDisplay::scaleY())); }

// _MOTIF_WM_HINTS: which window-manager functions and decorations to offer.
constexpr long kHintsFunctions = 1L << 0, kHintsDecorations = 1L << 1;
constexpr long kFuncResize = 1L << 1, kFuncMove = 1L << 2;
constexpr long kDecorBorder = 1L << 1, kDecorResizeHandle = 1L << 2, kDecorTitle = 1L << 3;

}  // namespace

StringInputForm::StringInputForm()
    : button1(nullptr), textBox1(nullptr), buttonPushed(false), closed(false) {
    InitializeComponent();
}

StringInputForm::~StringInputForm() = default;

void StringInputForm::InitializeComponent() {
    window.reset(
        new Fl_Double_Window(scaledX(kClientWidth), scaledY(kClientHeight), "StringInputForm"));
    // Children in this order: the field, then the button.
    textBox1 = new Fl_Input(scaledX(kTextX), scaledY(kTextY), scaledX(kTextW), scaledY(kTextH));
    button1 = new SubmitButton(scaledX(kButtonX), scaledY(kButtonY), scaledX(kButtonW),
                               scaledY(kButtonH), "Submit(&S)");
    // The window may be resized, but nothing in it moves or grows: FLTK
    // stretches only what overlaps the resizable box, an empty box in the
    // bottom-right corner.
    Fl_Box* anchor = new Fl_Box(window->w(), window->h(), 0, 0);
    window->end();
    window->resizable(anchor);
    window->size_range(1, 1);
    // The GTK-like look, set per widget: Fl::scheme() would change the
    // look of every FLTK window in the process and write FLTK_SCHEME into
    // the process environment (putenv) from this thread.
    const Fl_Color face = fl_rgb_color(0xF2, 0xF1, 0xF0);
    window->color(face);
    textBox1->box(FL_GTK_DOWN_BOX);
    textBox1->selection_color(fl_rgb_color(0x35, 0x84, 0xE4));
    button1->box(FL_GTK_UP_BOX);
    button1->down_box(FL_GTK_DOWN_BOX);
    button1->color(fl_rgb_color(0xFA, 0xFA, 0xF9));
    button1->selection_color(fl_rgb_color(0xDE, 0xDD, 0xDA));
    button1->callback(&StringInputForm::onButton1, this);
    window->callback(&StringInputForm::onWindowEvent, this);
    // Enter in the field is not a submission; only the button submits.
    textBox1->when(FL_WHEN_RELEASE);
    buttonPushed = false;
    textBuf.clear();
}

void StringInputForm::show() {
    window->show();
    button1->take_focus();
    // Title bar with the title, border and resizing, but no window menu and
    // no minimise, maximise or close button. Set on the mapped window, since
    // FLTK writes its own hints while showing it.
    const Atom hints = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
    long value[5] = {kHintsFunctions | kHintsDecorations, kFuncResize | kFuncMove,
                     kDecorBorder | kDecorResizeHandle | kDecorTitle, 0, 0};
    XChangeProperty(fl_display, fl_xid(window.get()), hints, hints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(value), 5);
}

bool StringInputForm::isShown() const { return window && window->shown(); }

void StringInputForm::Dispose() {
    const bool hadWindow = static_cast<bool>(window);
    window.reset();
    button1 = nullptr;
    textBox1 = nullptr;
    // Nothing else flushes this thread's requests once its loop has ended:
    // without this the destroyed window would stay on the screen.
    if (hadWindow && fl_display != nullptr && !FltkDisplay::lost()) XFlush(fl_display);
}

void StringInputForm::markClosed() {
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
}

void StringInputForm::onButton1(Fl_Widget* sender, void* self) {
    static_cast<StringInputForm*>(self)->button1_Click(sender, nullptr);
}

void StringInputForm::onWindowEvent(Fl_Widget*, void* self) {
    // FLTK calls the window's callback for Escape as well; only a close
    // request from the window system (or the window's X window destroyed by
    // another client) closes it.
    if (Fl::event() != FL_CLOSE) return;
    StringInputForm* form = static_cast<StringInputForm*>(self);
    form->markClosed();
    form->window->hide();
}

void StringInputForm::button1_Click(Fl_Widget*, void*) {
    std::lock_guard<std::mutex> lock(mutex);
    buttonPushed = true;
    textBuf = textBox1->value();
}

int StringInputForm::getString(char* strbuf, int size) {
    if (strbuf == nullptr || size <= 0) return 0;
    std::lock_guard<std::mutex> lock(mutex);
    if (closed || !buttonPushed) return 0;
    MarshalString(textBuf, strbuf, size);
    buttonPushed = false;
    return static_cast<int>(std::strlen(strbuf)) + 1;
}

void StringInputForm::MarshalString(const std::string& s, char* strBuf, int size) {
    converter.convert(s.data(), s.size(), strBuf, static_cast<std::size_t>(size));
}

}  // namespace StringOut

using StringOut::FltkDisplay;
using StringOut::FltkLock;
using StringOut::OpenForms;
using StringOut::StringInputForm;

namespace {

// Ends a startGUI() session on every way out of it.
class Session {
  public:
    Session(OpenForms& forms, std::uint64_t ticket) : m_forms(forms), m_ticket(ticket) {}
    ~Session() {
        if (m_ticket != 0) m_forms.end(m_ticket);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

  private:
    OpenForms& m_forms;
    std::uint64_t m_ticket;
};

// Destroys the toolkit window on the window thread, with FltkLock held.
class Disposal {
  public:
    explicit Disposal(StringInputForm& form) : m_form(form) {}
    ~Disposal() { m_form.Dispose(); }
    Disposal(const Disposal&) = delete;
    Disposal& operator=(const Disposal&) = delete;

  private:
    StringInputForm& m_form;
};

void runWindow(OpenForms& forms, std::uint64_t ticket) {
    FltkLock lock;
    if (!FltkDisplay::open()) return;
    std::shared_ptr<StringInputForm> form = std::make_shared<StringInputForm>();
    Disposal disposal(*form);
    // Listed before it is shown: a stop that came while it was being built
    // keeps it from appearing at all.
    if (!forms.publish(ticket, form)) return;
    form->show();
    while (form->isShown() && !forms.stopped(ticket) && !FltkDisplay::lost()) {
        Fl::wait();
    }
    forms.withdraw(ticket);
}

}  // namespace

void prepareGUI() { OpenForms::instance().reserve(); }

void startGUI() {
    OpenForms& forms = OpenForms::instance();
    const std::uint64_t ticket = forms.begin();
    if (ticket == 0) {
        StringOut::warn("StringInputForm: another input window is open; not opening a second one");
        return;
    }
    Session session(forms, ticket);
    if (forms.stopped(ticket)) return;
    try {
        runWindow(forms, ticket);
    } catch (const std::exception& e) {
        const std::string message =
            std::string("StringInputForm: the input window could not be built: ") + e.what();
        StringOut::warn(message.c_str());
    } catch (...) {
        StringOut::warn("StringInputForm: the input window could not be built");
    }
}

void stopGUI() {
    if (OpenForms::instance().requestStop()) FltkLock::wake();
}

int GetString(char* string, int bufferSize) {
    if (string == nullptr || bufferSize <= 0) return 0;
    StringInputForm* form = OpenForms::instance().find();
    return form != nullptr ? form->getString(string, bufferSize) : 0;
}
