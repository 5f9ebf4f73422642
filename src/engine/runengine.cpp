#include "engine/runengine.h"

RunEngine::RunEngine(QObject* parent)
    : QThread(parent)
{
    // ended() crosses from the engine's thread to its receivers' by a queued connection.
    qRegisterMetaType<RunOutcome>();
}
