#include "engine/failuretext.h"

#include "platform/ioerror.h"

QString FailureText::message(FailureCause cause, const QString& file, const QString& card,
                             const QString& otherwise)
{
    const char* key = nullptr;
    switch (cause) {
    case FailureCause::CardFull:
        key = "ErrCardFull";
        break;
    case FailureCause::DeviceOutOfRoom:
        key = "ErrDeviceOutOfRoom";
        break;
    case FailureCause::WriteProtected:
        key = "ErrWriteProtected";
        break;
    case FailureCause::FileTooLarge:
        key = "ErrFileTooLarge";
        break;
    case FailureCause::DeviceError:
        key = "ErrDeviceError";
        break;
    case FailureCause::CardRemoved:
        key = "ErrCardRemoved";
        break;
    case FailureCause::MissingSource:
        key = "ErrMissingSource";
        break;
    case FailureCause::None:
    case FailureCause::Other:
        return otherwise;
    }
    // Every text takes both places; %2 is used only where the card is the subject.
    return tr(key).arg(file, card);
}

QString FailureText::withDetail(const QString& what, int osError)
{
    const QString detail = QString::fromStdString(platform::errorText(osError));
    return detail.isEmpty() ? what : what + QStringLiteral(" — ") + detail;
}
