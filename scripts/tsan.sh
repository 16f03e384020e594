#!/usr/bin/env bash
# Builds the test programs with ThreadSanitizer and runs the suites that use
# threads. Any data race, lock-order inversion or thread leak that TSan reports
# stops the run (halt_on_error) and makes this script exit non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${KESTRUNE_TSAN_BUILD:-build-tsan}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRUNE_TSAN=ON -DKESTRUNE_SANITIZE=OFF -DKESTRUNE_TESTS=ON
cmake --build "$build" -j "${KESTRUNE_TSAN_JOBS:-4}" --target \
  kestrune_platform_tests kestrune_core_tests kestrune_media_tests kestrune_liveview_tests kestrune_config_tests kestrune_maintenance_tests

export QT_QPA_PLATFORM=offscreen
opts="halt_on_error=1:second_deadlock_stack=1"
if [[ -f $root/scripts/tsan.supp ]]; then
  opts+=":suppressions=$root/scripts/tsan.supp"
fi
export TSAN_OPTIONS="$opts${TSAN_EXTRA_OPTIONS:+:$TSAN_EXTRA_OPTIONS}"

# suite -> gtest filter of the threaded tests in that suite. A pattern of the
# form '*Name.*' also picks the instantiated parameterised tests (Inst/Name.x/N).
declare -A filters=(
  [platform]='*EventBehaviour.*:*EventWaiters.*:*Semaphore.*:*SemaphoreRelease.*:*Waits.*:*WaitForAny.*:*WaitForAnyPick.*:*StopWakesBlockedThread.*:*ThreadId.*:*ThreadLifetime.*:*ThreadStart.*:*ThreadStop.*:*ManualClock.*:*ManualClockPause.*:*WindowMessages.*:*WindowMessagesWithoutApplication.*:*PollWaitTest.*:*PosixIoTest.*'
  [core]='*ProcessControlTest.*:*SessionProductTest.*:*LifetimeTest.*:*ThreadStopTest.*:*SessionLoginTest.*:*LateLoginAtShutdownTest.*:*SessionRetryTest.*:*DeviceInfoTest.*:*LoginFailureTest.*:*LoginThreadCases.*:*ShutdownDuringLoginTest.*:*LoginDialogTest.*:*ConnectWaitTest.*:*ConnectWaitFailureTest.*:*LanExchange.*:*SearchDatagrams.*:*SearchDialogTest.*:*SearchDialogOutcomes.*:*BlockingSocket.*:*GetHostByName.*:*FakeDevice.*:*FakeDeviceHeader.*:*FakeDeviceModel.*:*FakeDeviceRefuses.*:*CgiCommandTable.*:*CgiUrl.*:*CommandRequestBytes.*:*DeviceCommandTest.*:*LoginTest.*:*LoginReplyCases.*:*LoginPort.*:*HostileReply.*:*DeviceReplies.*:*TraceLogTest.*:*DebugTraceTest.*:*SettingsTest.ReadersWriterAndSaverTogether:*ConnectionCheck.*'
  [media]='*StreamReceiver*:*StreamPipeline*:*RecorderTest.*:*UserStopTest.*:*HandOverTest.*:*SplitCreateFailureTest.*:*PreAlarm*:*FeedPreAlarmRingTest.*:*FrameTimer*:*AlarmWavePlayer.*:*AlarmWaveService.*:*AlarmSoundReloadTest.*:*SlowCloseTest.*:*ScheduleRecorderTest.*'
  [liveview]='*LivePictureTest.*:*MainWindowTest.*:*BarTest.*:*TerminationSignalTest.*'
  [config]='*SheetProgressThreadTest.*:*TreeSheetTest.*:*SaveRoutinesTest.*:*SaveTable.*:*OpeningReadTest.*:*PendingTable.*:*ConfigSheetTest.*:*FamilySheet.*:*Rs485Rebuild.*:*SimulatedSections.*:*SimulatedDevice.*'
  [maintenance]='*FirmwareUploadTest.*:*UpgradeDialogTest.*'
)

status=0
cd "$build/tests"
for suite in platform core media liveview config maintenance; do
  log=$root/$build/tsan-$suite.log
  echo "== $suite"
  if ! "./kestrune_${suite}_tests" --gtest_filter="${filters[$suite]}" >"$log" 2>&1; then
    status=1
  fi
  if grep -q 'WARNING: ThreadSanitizer' "$log"; then
    status=1
  fi
  grep -E '^\[  (PASSED|FAILED) ' "$log" || true
  grep -A30 'WARNING: ThreadSanitizer' "$log" | head -60 || true
  echo "   log: $log"
done
exit $status
