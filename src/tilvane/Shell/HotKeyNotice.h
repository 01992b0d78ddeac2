#pragma once

namespace tilvane {

/// Tells the user once, on the message window, which hot keys another program held when this one started: the
/// recorders mark them, and the monitor takes each as soon as it is free. Nothing is shown when every hot key
/// was taken. Main thread only.
void announceHotKeysNotTaken();

}  // namespace tilvane
