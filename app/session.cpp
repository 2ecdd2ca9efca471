#include "session.h"

#include "tform1.h"

Session::Session(TForm1& form)
    : notifier(&form)
    , link(settings, clock, notifier)
    , settingsFile(notifier)
    , console(link, settingsFile, notifier, form)
    , form_(form)
{
    form_.attach(&console);
}

Session::~Session() { form_.attach(nullptr); }
