# apt_get_waiting ARGUMENT...: apt-get that waits, up to 10 minutes, for another package manager
# run to let go of its lock instead of failing at once; it says once that it waits.
# apt-get's own DPkg::Lock::Timeout covers the dpkg lock of an install, but not the lock of the
# package lists that "update" takes, and it waits without a word under -qq; so both are retried
# here. apt-get takes its locks before it changes anything, so a run that failed on one is
# simply run again.
# Sourced by scripts/deps.sh and scripts/show.sh. VELMORA_APT_LOCK_WAIT sets the wait in seconds.
apt_get_waiting() {
  local deadline=$((SECONDS + ${VELMORA_APT_LOCK_WAIT:-600})) errors status said=""
  while :; do
    # Standard error is kept to be read (standard output goes its way); the messages are matched,
    # so they are asked for untranslated.
    status=0
    errors=$({ LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>&1 1>&3 3>&-; } 3>&1) ||
      status=$?
    if ((status == 0)) || ! grep -qE 'Could not get lock|Unable to (lock|acquire)' <<<"$errors" ||
      ((SECONDS >= deadline)); then
      [[ -z $errors ]] || echo "$errors" >&2
      return "$status"
    fi
    if [[ -z $said ]]; then
      echo "Another package manager run holds its lock: waiting for it (10 minutes at most)..." >&2
      said=1
    fi
    sleep 2
  done
}
