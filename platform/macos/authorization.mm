// Microphone authorisation through AVFoundation. macOS asks the user only if
// the executable embeds a microphone-usage text (see Info.plist).
#import <AVFoundation/AVFoundation.h>

#include "platform/host.h"

namespace host {

Authorization microphoneAuthorization() {
  switch ([AVCaptureDevice authorizationStatusForMediaType:AVMediaTypeAudio]) {
    case AVAuthorizationStatusNotDetermined: return notDetermined;
    case AVAuthorizationStatusRestricted: return restricted;
    case AVAuthorizationStatusDenied: return denied;
    case AVAuthorizationStatusAuthorized: return authorized;
  }
  return denied;
}

void requestMicrophoneAccess(void (*answer)(bool granted, void* context), void* context) {
  [AVCaptureDevice requestAccessForMediaType:AVMediaTypeAudio
                           completionHandler:^(BOOL granted) { answer(granted, context); }];
}

}  // namespace host
