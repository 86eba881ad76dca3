#pragma once

// Whether every accepted change of a calculation input starts a calculation by
// itself. The live calculation implements it; the layers that may not know it
// (the remote commands) reach it through this interface.
class LiveSwitch
{
public:
    virtual ~LiveSwitch() = default;

    virtual bool liveCalculation() const = 0;
    virtual void setLiveCalculation(bool on) = 0;
};
