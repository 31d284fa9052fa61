#pragma once
// What the core needs from the windows, so that it paints and reports without knowing
// the toolkit: two pictures, two captions, the result labels, a few enabled states and
// the Delta scroll bar. The Qt layer, the command-line tool and the tests implement it.
#include <cstdint>
#include <string>
#include <vector>

namespace tesora {

// Colours are 0x00BBGGRR (red in the low byte); a grey g is g * 65793.
using Colour = std::uint32_t;
constexpr Colour kMarkerRed = 255;
inline constexpr Colour Grey(int g) { return static_cast<Colour>(g) * 65793u; }

// A picture the core reads and paints. Storage is 32-bit words 0xFFRRGGBB, `stride`
// words per row (the layout of QImage::Format_RGB32), so the Qt layer binds its image
// directly and nothing is converted per pixel on the way to the screen.
class PictureSurface {
public:
    virtual ~PictureSurface() = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Outside the picture: reads 0, writes are ignored.
    Colour GetPixel(int x, int y) const { return Contains(x, y) ? FromWord(Word(x, y)) : 0; }
    void SetPixel(int x, int y, Colour colour) {
        if (Contains(x, y)) Word(x, y) = ToWord(colour);
    }
    void SetGrey(int x, int y, int g) {
        if (Contains(x, y)) Word(x, y) = GreyWord(g);
    }
    // The low byte of a pixel's colour: its red component.
    int GetValue(int x, int y) const { return Contains(x, y) ? RedOfWord(Word(x, y)) : 0; }

    // Raw rows for fast paths (words 0xFFRRGGBB); y must lie inside the picture.
    std::uint32_t* ScanLine(int y) { return bits_ + static_cast<std::size_t>(y) * stride_; }
    const std::uint32_t* ScanLine(int y) const { return bits_ + static_cast<std::size_t>(y) * stride_; }
    std::size_t StrideWords() const { return stride_; }

    // The one place a grey word is made: g in all three components.
    static constexpr std::uint32_t GreyWord(int g) {
        return 0xFF000000u | Grey(g);  // a grey colour reads the same in either order
    }
    static constexpr std::uint32_t ToWord(Colour c) {
        return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
    }
    static constexpr int RedOfWord(std::uint32_t w) { return static_cast<int>((w >> 16) & 0xFFu); }
    static constexpr Colour FromWord(std::uint32_t w) {
        return ((w >> 16) & 0xFFu) | (w & 0xFF00u) | ((w & 0xFFu) << 16);
    }

    // Shows what was painted so far, at once (implementations may throttle to the
    // screen's pace as long as the last call of a handler is shown).
    virtual void Refresh() {}

protected:
    void Bind(std::uint32_t* bits, int width, int height, std::size_t strideWords) {
        bits_ = bits;
        width_ = width;
        height_ = height;
        stride_ = strideWords;
    }

private:
    std::uint32_t& Word(int x, int y) { return bits_[static_cast<std::size_t>(y) * stride_ + x]; }
    std::uint32_t Word(int x, int y) const { return bits_[static_cast<std::size_t>(y) * stride_ + x]; }

    std::uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
};

// A surface that owns its pixels; the command-line tool and the tests use it.
class MemorySurface : public PictureSurface {
public:
    MemorySurface() = default;
    MemorySurface(int width, int height) { Resize(width, height); }
    MemorySurface(const MemorySurface& other) : PictureSurface(), words_(other.words_) {
        Bind(words_.data(), other.Width(), other.Height(), static_cast<std::size_t>(other.Width()));
    }
    MemorySurface& operator=(const MemorySurface& other) {
        words_ = other.words_;
        Bind(words_.data(), other.Width(), other.Height(), static_cast<std::size_t>(other.Width()));
        return *this;
    }
    // New size, every pixel black.
    void Resize(int width, int height) {
        words_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFF000000u);
        Bind(words_.data(), width, height, static_cast<std::size_t>(width));
    }
    void Refresh() override { ++refreshCount; }
    const std::vector<std::uint32_t>& Words() const { return words_; }

    int refreshCount = 0;

private:
    std::vector<std::uint32_t> words_;
};

// Labels the core writes. Label::Delta is scoped and cannot be mistaken for the state
// variable Delta; GCC's -Wshadow warns all the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
enum class Label { Level, Delta, DeltaVorgeschlagen, Prozent, Fehler, DateiName };
#pragma GCC diagnostic pop
// Controls whose enabled state the core changes.
enum class Control { trbLevel, butKompress, butCalcDelta, butBMPSave, butFehler };

class Frontend {
public:
    virtual ~Frontend() = default;

    virtual PictureSurface& Bild() = 0;     // the main window's picture (imgBild)
    virtual PictureSurface& Reduced() = 0;  // the reduced-picture window's (ReducedImg)

    virtual void SetStatus(const std::string& text) = 0;         // main window caption
    virtual void SetReducedStatus(const std::string& text) = 0;  // reduced window caption
    virtual void SetLabel(Label label, const std::string& text) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;

    // Moves the Delta scroll bar; its change handler runs only if the position changes.
    virtual void SetDeltaPosition(int position) = 0;
    // The level track bar after a picture is opened: range 2 ... finest, position
    // finest; its change handler runs only if the position changes. For finest < 2 it
    // rests quietly at 2, its handler not run.
    virtual void SetLevelRange(int finest) = 0;

    // Loads the last successfully opened file into Reduced() again. Throws Error, with
    // nothing changed, when the file can no longer be read.
    virtual void ReloadOriginal() = 0;

    // False while nobody looks at Reduced() until the next ReloadOriginal (a batch run
    // that measures the error but keeps no approximation): the level change then skips
    // its rendering, which would be overwritten unseen.
    virtual bool ReducedWatched() const { return true; }
};

}  // namespace tesora
