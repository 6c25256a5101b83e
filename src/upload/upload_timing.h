// Every pause, limit and line speed of the firmware upload, in one place.
#pragma once

namespace zelvar {

// Line speeds (bits per second).
constexpr int kJobOpenSpeed = 57600;        // every job opens the port at this speed
constexpr int kPfldSpeed = 19200;           // the PFLD dialogue and the SFLD upload
constexpr int kSfldSpeed = 115200;          // from the SFLD's first answer on
constexpr int kBootProbeSpeedLow = 4800;    // boot request when no speed is recorded ...
constexpr int kBootProbeSpeedHigh = 57600;  // ... sent at both of these

// Loader record exchange (milliseconds unless stated).
constexpr int kPurgeSettleMs = 20;       // after purging at the start of a frame
constexpr int kRewriteSettleMs = 10;     // after purging before a frame is written again
constexpr int kAnswerRetryMs = 100;      // wait after an empty read while awaiting the answer
constexpr int kRecoveryPauseMs = 100;    // after each recovery attempt
constexpr int kRecoveryAttempts = 1000;  // recovery attempts before giving up
constexpr int kRecWaitTolerated = 200;   // REC_WAIT bytes tolerated after a frame

// A faulty line: every wait of the exchange ends. Bytes of any kind (REC_WAIT, erase
// codes, noise) count as activity; silence is measured from the last of them.
constexpr int kAnswerSilenceMs = 3000;      // silence after a frame before we ask again
constexpr int kAnswerReasks = 3;            // times we ask again (0x55) for one frame
constexpr int kRecWaitBreaks = 50;          // frame re-writes on REC_WAIT within one call
constexpr int kStrayAnswerBytes = 65536;    // other bytes skipped while awaiting an answer
constexpr int kRecoverySilenceMs = 5000;    // the recovery gives up after this silence
constexpr int kFrameRewrites = 10;          // a failed frame is written again this often
constexpr int kExpectedByteLimitMs = 5000;  // WaitForPortByte among unwanted bytes

// Upload loop.
constexpr int kTurnPauseMs = 200;            // between the state byte and its answer
constexpr int kTextSettleMs = 200;           // after a "$" before the rest is read
constexpr int kUnexpectedBytePauseMs = 200;  // after an unexpected byte
constexpr int kSfldStartPauseMs = 200;       // before each extra 0x55 after the SFLD upload
constexpr int kSfldStartBytes = 3;           // extra 0x55 bytes after the SFLD upload
constexpr int kAttentionBytes = 4;           // 0x55 bytes of one attention burst
constexpr int kAttentionGapMs = 400;         // between the bytes of a burst
constexpr int kDialogueSilenceMs = 10000;    // turns without a byte from the receiver
constexpr int kDialogueLimitMs = 60000;      // one pass's turns before a frame or the SFLD
constexpr int kFailedPassesAllowed = 5;      // whole passes that may fail in one job

// Flash programming.
constexpr int kVersionQueryPauseMs = 500;  // after CMD_VERSION before reading the text
constexpr int kFlashIdPauseMs = 200;       // after CMD_FLASH_ID before reading the reply
constexpr int kEraseCommandPauseMs = 10;   // between "Erasing FLASH..." and CMD_ERASE
constexpr int kVersionWaitMs = 6000;       // CMD_VERSION repeated this long for a text
constexpr int kEraseSilenceMs = 15000;     // silence since the last erase progress code

// A cancelled or lost job does not wait out a pause: pauses are slept in slices of
// this length and end at the first slice boundary after the job was told to stop.
constexpr int kPauseSliceMs = 20;

}  // namespace zelvar
