#include "window/server_fonts.h"

#include <X11/Xlib.h>
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Device.H>
#include <FL/fl_utf8.h>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

namespace kitforge::window {

namespace {

// fontconfig's own configuration, where the static library looks when no variable names one.
constexpr const char* kFontconfigFile = "/etc/fonts/fonts.conf";
// How far from the asked size a bitmap font may be; the server scales none of its own.
constexpr int kSizeReach = 6;

bool FontconfigListsFonts() {
    // Without a configuration fontconfig complains on standard error and knows no font anyway.
    if (std::getenv("FONTCONFIG_FILE") == nullptr && std::getenv("FONTCONFIG_PATH") == nullptr &&
        ::access(kFontconfigFile, R_OK) != 0) {
        return false;
    }
    if (!FcInit()) return false;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr));
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    const bool any = fonts != nullptr && fonts->nfont > 0;
    if (fonts != nullptr) FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return any;
}

// The font closest to `size` pixels among the server's own: Helvetica-like first, then any
// proportional one, Unicode before Latin-1; "fixed" (always there) when none is near.
XFontStruct* LoadServerFont(bool bold, int size) {
    const char* weight = bold ? "bold" : "medium";
    const char* const patterns[] = {
        "-*-helvetica-%s-r-normal--%d-*-*-*-*-*-iso10646-1", "-*-*-%s-r-normal--%d-*-*-*-p-*-iso10646-1",
        "-*-*-%s-r-normal--%d-*-*-*-*-*-iso10646-1",         "-*-helvetica-%s-r-normal--%d-*-*-*-*-*-iso8859-1",
        "-*-*-%s-r-normal--%d-*-*-*-*-*-iso8859-1",
    };
    for (int reach = 0; reach <= kSizeReach; ++reach) {
        for (int pixels : {size - reach, size + reach}) {
            if (pixels <= 0) continue;
            for (const char* pattern : patterns) {
                char name[128];
                std::snprintf(name, sizeof name, pattern, weight, pixels);
                if (XFontStruct* font = XLoadQueryFont(fl_display, name)) return font;
            }
            if (reach == 0) break;
        }
    }
    return XLoadQueryFont(fl_display, "fixed");
}

// The characters of UTF-8 `text` as the font's two-byte codes; those it lacks become '?'.
std::vector<XChar2b> FontCodes(const XFontStruct* font, const char* text, int n) {
    const unsigned last = (font->max_byte1 << 8) | font->max_char_or_byte2;
    std::vector<XChar2b> codes;
    const char* end = text + n;
    while (text < end) {
        int length = 0;
        unsigned c = fl_utf8decode(text, end, &length);
        text += length > 0 ? length : 1;
        if (c > last || c > 0xFFFF) c = '?';
        codes.push_back(XChar2b{static_cast<unsigned char>(c >> 8), static_cast<unsigned char>(c & 0xFF)});
    }
    return codes;
}

// FLTK's X drawing with the text parts drawn in core fonts rather than through Xft.
class ServerFontDriver : public Fl_Xlib_Graphics_Driver {
public:
    void font(Fl_Font face, Fl_Fontsize size) override {
        Fl_Graphics_Driver::font(face, size);
        const bool bold = (face & FL_BOLD) != 0;
        auto found = fonts_.find({bold, size});
        if (found == fonts_.end()) found = fonts_.emplace(std::make_pair(bold, size), LoadServerFont(bold, size)).first;
        current_ = found->second;
        if (current_ != nullptr && fl_gc != nullptr) XSetFont(fl_display, fl_gc, current_->fid);
    }
    void draw(const char* text, int n, int x, int y) override {
        if (current_ == nullptr || fl_gc == nullptr) return;
        XSetFont(fl_display, fl_gc, current_->fid);
        const std::vector<XChar2b> codes = FontCodes(current_, text, n);
        XDrawString16(fl_display, fl_window, fl_gc, x, y, codes.data(), static_cast<int>(codes.size()));
    }
    void draw(int, const char* text, int n, int x, int y) override { draw(text, n, x, y); }
    void rtl_draw(const char* text, int n, int x, int y) override {
        draw(text, n, x - static_cast<int>(width(text, n)), y);
    }
    double width(const char* text, int n) override {
        if (current_ == nullptr) return 0;
        const std::vector<XChar2b> codes = FontCodes(current_, text, n);
        return XTextWidth16(current_, codes.data(), static_cast<int>(codes.size()));
    }
    double width(unsigned int c) override {
        char utf8[8];
        return width(utf8, fl_utf8encode(c, utf8));
    }
    void text_extents(const char* text, int n, int& dx, int& dy, int& w, int& h) override {
        dx = 0;
        dy = current_ != nullptr ? -current_->ascent : 0;
        w = static_cast<int>(width(text, n));
        h = height();
    }
    int height() override { return current_ != nullptr ? current_->ascent + current_->descent : size(); }
    int descent() override { return current_ != nullptr ? current_->descent : 0; }

private:
    std::map<std::pair<bool, int>, XFontStruct*> fonts_;
    XFontStruct* current_ = nullptr;
};

}  // namespace

bool UseServerFontsWhenNoneInstalled() {
    if (FontconfigListsFonts()) return false;
    Fl_Display_Device* display = Fl_Display_Device::display_device();
    // Lives as long as the program: the toolkit keeps drawing through it.
    display->driver(new ServerFontDriver);
    display->set_current();
    return true;
}

}  // namespace kitforge::window
