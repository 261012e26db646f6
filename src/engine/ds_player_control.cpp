// TDSPlayer: transport, position, volume, streams, graph events, picture and
// audio effect settings.
#include <cmath>

#include "audio/eq_bands.h"
#include "engine/ds_player.h"
#include "platform/fpu_control.h"

void TDSPlayer::Play() {
  if (fPrepare) return;
  MaskFPUExceptions();
  if (!MediaControl) return;
  MediaControl->Run();
  fState.Include(psPlayed);
  fState.Exclude(psPaused);
  PostState(kStatePlaying);
}

void TDSPlayer::Pause() {
  if (fPrepare) return;
  if (!MediaControl) return;
  fState.Include(psPaused);
  MediaControl->Pause();
  PostState(kStatePaused);
  MaskFPUExceptions();
}

void TDSPlayer::PlayPause() {
  if (fState.Has(psPaused))
    Play();
  else
    Pause();
}

void TDSPlayer::Stop() {
  if (MediaControl) {
    MediaControl->Pause();
    SetPosition(1);
    MediaControl->Stop();
    MaskFPUExceptions();
    fState = {psOpened};
    PostState(kStateStopped);
  }
  if (D2R2) D2R2->SetLogo();
}

int TDSPlayer::GetPosition() {
  if (!MediaSeeking) return 0;
  LONGLONG current = 0;
  MediaSeeking->GetCurrentPosition(&current);
  if (FramedTime) return static_cast<int>(static_cast<std::uint32_t>(current));
  return static_cast<int>(current / 10000);
}

void TDSPlayer::SetPosition(int value) {
  if (value < 0) value = 0;
  if (value > Lengths) value = Lengths - 1;
  LONGLONG target = FramedTime ? value : static_cast<LONGLONG>(value) * 10000;
  if (MediaSeeking) {
    LONGLONG stop = 0;
    MediaSeeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame,
                               &stop, AM_SEEKING_NoPositioning);
    MaskFPUExceptions();
  }
  PostState(kStatePositionSet);
}

TDateTime TDSPlayer::PosToTime(std::uint64_t pos) const {
  std::int64_t ms = static_cast<std::int64_t>(pos);
  if (FramedTime) ms = std::llround(static_cast<double>(pos) * FFrameRate);
  return MillisecondsToDateTime(ms);
}

TDateTime TDSPlayer::GetPosTime() {
  const int pos = GetPosition();
  return PosToTime(static_cast<std::uint64_t>(pos < 0 ? 0 : pos));
}

void TDSPlayer::SetVolume(int value) {
  if (!BasicAudio) return;
  if (value < 1) value = 1;
  if (value > 100) value = 100;
  if (value == fVolume) return;
  fVolume = value;
  PostMessage(FScreenHandle, WM_PLAYERVOLUME, static_cast<WPARAM>(value), 0);
  // Hundredths of a decibel; nearbyint rounds half to even.
  const LONG attenuation =
      value == 1 ? -10000 : static_cast<LONG>(std::nearbyint(5000.0 * std::log10(value / 100.0)));
  BasicAudio->put_Volume(attenuation);
}

void TDSPlayer::SetMute(bool value) {
  if (value) {
    if (fMute > 0) return;
    fMute = fVolume;
    SetVolume(0);
    if (OnMute) OnMute(true);
  } else {
    if (fMute == 0) return;
    SetVolume(fMute);
    fMute = 0;
    if (OnMute) OnMute(false);
  }
}

void TDSPlayer::SelectStream(int strm) {
  StreamSwitching = true;
  if (StreamSelect) StreamSelect->Enable(strm, AMSTREAMSELECTENABLE_ENABLE);
  StreamSwitching = false;
  MaskFPUExceptions();
}

void TDSPlayer::Notify() {
  if (!MediaEvent) return;
  for (;;) {
    LONG code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    if (FAILED(MediaEvent->GetEvent(&code, &param1, &param2, 0))) break;
    MediaEvent->FreeEventParams(code, param1, param2);
    if (code == EC_COMPLETE) {
      fState = {psOpened};
      PostState(kStateEndOfStream);
    }
  }
}

void TDSPlayer::SetFill(TDisplayMode mode) {
  fFill = mode;
  if (D2R2) D2R2->SetDisplayMode(mode);
}

double TDSPlayer::GetAspectRatio() {
  double ar = 0;
  if (D2R2) D2R2->GetAspectRatio(&ar);
  return ar;
}

void TDSPlayer::SetRenderWindow(HWND owner, const RECT&) {
  const bool playing = fState.Has(psPlayed) && !fState.Has(psPaused);
  if (playing) Pause();
  if (D2R2) D2R2->SetVideoWindow(owner);
  if (playing) Play();
}

// ---- picture ----

void TDSPlayer::SetPictureConstant(int index, float value) {
  if (D2R2) D2R2->SetPSConstant(index, value);
}

void TDSPlayer::SetBrightness(int value) {
  fBrightness = value;
  if (OnBrightnessChange) OnBrightnessChange(value);
  SetPictureConstant(3, static_cast<float>(value / 100.0));
}

void TDSPlayer::SetContrast(int value) {
  fContrast = value;
  if (OnContrastChange) OnContrastChange(value);
  SetPictureConstant(4, static_cast<float>(value / 100.0));
}

void TDSPlayer::SetSaturation(int value) {
  fSaturation = value;
  if (OnSaturationChange) OnSaturationChange(value);
  SetPictureConstant(6, static_cast<float>((value + 100) / 100.0));
}

void TDSPlayer::SetVibrance(int value) {
  fVibrance = value;
  if (OnVibranceChange) OnVibranceChange(value);
  SetPictureConstant(7, static_cast<float>(value / 100.0));
}

void TDSPlayer::SetSharpness(int value) {
  fSharpness = value;
  if (OnSharpnessChange) OnSharpnessChange(value);
  SetPictureConstant(8, static_cast<float>(value / 100.0));
}

// ---- audio effects ----

bool TDSPlayer::GetEQEnable() {
  BOOL enabled = BOOL_FALSE;
  if (EQ) EQ->get_Enabled(&enabled);
  return FromBOOL(enabled);
}

void TDSPlayer::SetEQEnable(bool value) {
  if (EQ) EQ->set_Enabled(ToBOOL(value));
}

int TDSPlayer::getEQBand(std::uint16_t Index) {
  if (!EQ) return 0;
  return GetUserEQBand(*EQ, Index);
}

void TDSPlayer::SetEQBand(std::uint16_t Index, int Value) {
  if (EQ) SetUserEQBand(*EQ, Index, Value);
}

bool TDSPlayer::GetAMPEnable() {
  BOOL enabled = BOOL_FALSE;
  if (AMP) AMP->get_Enabled(&enabled);
  return FromBOOL(enabled);
}

void TDSPlayer::SetAMPEnable(bool value) {
  if (AMP) AMP->set_Enabled(ToBOOL(value));
  if (COMP) COMP->set_Enabled(ToBOOL(value));
}

std::uint32_t TDSPlayer::GetAMPAttack() {
  DWORD v = 0;
  if (AMP) AMP->get_AttackTime(&v);
  return v;
}

void TDSPlayer::SetAMPAttack(std::uint32_t value) {
  if (AMP) AMP->set_AttackTime(value);
}

std::uint32_t TDSPlayer::GetAMPRelease() {
  DWORD v = 0;
  if (AMP) AMP->get_ReleaseTime(&v);
  return v;
}

void TDSPlayer::SetAMPRelease(std::uint32_t value) {
  if (AMP) AMP->set_ReleaseTime(value);
}

std::uint32_t TDSPlayer::GetAMPMAX() {
  DWORD v = 0;
  if (AMP) AMP->get_MaxAmplification(&v);
  return v;
}

void TDSPlayer::SetAMPMAX(std::uint32_t value) {
  if (AMP) AMP->set_MaxAmplification(value);
}
