# shellcheck shell=bash
# Stages that run side by side: a compile stage and the test stages of an earlier build share the
# machine, because the tests mostly wait for the instrument's fixed delays. Sourced by scripts/test.
#
#   vk605_stages_init DIR                  status, time and output of every stage go to DIR
#   vk605_stage NAME [DEP...] -- CMD...    starts CMD in the background once every DEP ended ok;
#                                          a failed DEP makes the stage "skipped (DEP failed)"
#   vk605_stage_skip NAME REASON           records a stage that does not run
#   vk605_stages_wait                      waits for all, prints the summary; false when any failed
#
# A stage's output is kept in DIR/<NAME>.log and printed whole when the stage ends, so the outputs of
# stages running together never interleave.

vk605_stage_names=()

vk605_stages_init() {
  vk605_stage_dir=$1
  rm -rf "$vk605_stage_dir"
  mkdir -p "$vk605_stage_dir"
  vk605_stages_start=$SECONDS
}

vk605_stage_file() {
  printf '%s/%s' "$vk605_stage_dir" "${1//[^A-Za-z0-9_.-]/_}"
}

# vk605_stage_record NAME STATUS SECONDS
vk605_stage_record() {
  local file
  file=$(vk605_stage_file "$1")
  printf '%s\n' "$3" >"$file.seconds"
  # The status file is written last and atomically: waiting stages read it as the stage's end.
  printf '%s\n' "$2" >"$file.status.tmp"
  mv "$file.status.tmp" "$file.status"
}

# vk605_stage_status NAME: waits until the stage ended and prints its status.
vk605_stage_status() {
  local file
  file=$(vk605_stage_file "$1")
  while [[ ! -f "$file.status" ]]; do
    sleep 1
  done
  cat "$file.status"
}

vk605_stage_skip() {
  vk605_stage_names+=("$1")
  vk605_stage_record "$1" "skipped ($2)" 0
}

vk605_stage() {
  local name=$1 dep
  shift
  local deps=()
  while (($# > 0)) && [[ "$1" != -- ]]; do
    deps+=("$1")
    shift
  done
  shift
  vk605_stage_names+=("$name")
  (
    set +e
    for dep in "${deps[@]}"; do
      if [[ "$(vk605_stage_status "$dep")" != ok ]]; then
        vk605_stage_record "$name" "skipped ($dep did not pass)" 0
        exit 0
      fi
    done
    local file start status
    file=$(vk605_stage_file "$name")
    start=$SECONDS
    echo "--- started: $name ($((SECONDS - vk605_stages_start)) s)"
    (
      set -e
      "$@"
    ) >"$file.log" 2>&1 </dev/null
    status=$?
    local result=ok
    ((status == 0)) || result="FAILED"
    {
      flock 9
      echo
      echo "=================== $name: $result after $((SECONDS - start)) s ==================="
      cat "$file.log"
      ((status == 0)) || echo "*** stage '$name' failed (exit status $status)"
    } 9>"$vk605_stage_dir/output.lock"
    vk605_stage_record "$name" "$result" $((SECONDS - start))
  ) &
}

# vk605_note_retried TEST: a test of the calling stage passed only when run again; the summary names it.
vk605_note_retried() {
  printf '%s\n' "$1" >>"$vk605_stage_dir/retried"
}

# vk605_stage_result NAME: the recorded result of an ended stage. A stage whose status file is missing or
# empty (its write failed, as on a full disk) failed: it can never count as passed or be left out.
vk605_stage_result() {
  local status
  status=$(cat "$(vk605_stage_file "$1").status" 2>/dev/null || true)
  printf '%s\n' "${status:-FAILED (no result recorded)}"
}

vk605_stages_wait() {
  wait
  local name status file ok_count=0 failed_count=0
  # A failed stage's end is repeated here, where a reader of only the last lines of the output (a CI
  # page) still finds which tests failed: ctest ends with their list, a script with its error.
  for name in "${vk605_stage_names[@]}"; do
    file=$(vk605_stage_file "$name")
    [[ "$(vk605_stage_result "$name")" == FAILED* ]] || continue
    echo
    echo "=================== end of the failed stage '$name' ==================="
    { grep -E '\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|SUMMARY: |ERROR: ' "$file.log" | head -40; } 2>/dev/null || true
    tail -n 25 "$file.log" 2>/dev/null || true
  done
  echo
  echo "=================== summary ==================="
  for name in "${vk605_stage_names[@]}"; do
    file=$(vk605_stage_file "$name")
    status=$(vk605_stage_result "$name")
    printf '  %-34s %-44s %5ss\n' "$name" "$status" "$(cat "$file.seconds" 2>/dev/null || echo 0)"
    case "$status" in
      ok) ok_count=$((ok_count + 1)) ;;
      FAILED*) failed_count=$((failed_count + 1)) ;;
    esac
  done
  if [[ -s "$vk605_stage_dir/retried" ]]; then
    echo "  passed only on a second run (flaky, to be mended): $(sort -u "$vk605_stage_dir/retried" | paste -sd ' ')"
  fi
  echo "  total time $((SECONDS - vk605_stages_start))s"
  echo "stages: $ok_count passed, $failed_count failed"
  ((failed_count == 0))
}
