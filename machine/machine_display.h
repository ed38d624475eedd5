#pragma once
// What a machine's runtime asks of its display: turn the machine's screen into its
// picture, then show that picture.

class MachineDisplay {
  public:
    virtual ~MachineDisplay() = default;
    // Draws the picture from the machine's screen, noting which parts changed.
    virtual void convert() = 0;
    // Shows the picture and waits for the next display refresh.
    virtual void present() = 0;
};
