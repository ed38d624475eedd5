#pragma once
// The display interface of each machine. The two bases have the same shape but are
// separate types: a Chip-8 display is never handled as a Chip-16 one.

class Displayc8 {
  public:
    virtual ~Displayc8() = default;
    // Fills the render texture from the machine's screen buffer.
    virtual void convert() = 0;
    // Shows the texture and waits for the next display refresh.
    virtual void present() = 0;
};

class Displayc16 {
  public:
    virtual ~Displayc16() = default;
    virtual void convert() = 0;
    virtual void present() = 0;
};
