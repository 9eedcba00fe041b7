// Told by a status or progress display when it goes away, so that the step behind it can end.
#pragma once

class CAbstractProgressCallback {
public:
    virtual ~CAbstractProgressCallback() = default;

    // result: 0 when the display closed because the work ended, 1 when the user cancelled.
    // Returns 1.
    virtual int OnComplete(int result) = 0;
};
