# The real engines of docs/cluster.md on this machine, for the tests and the bench (sourced):
#   ssh_node_start WORK   an sshd on a free loopback port with a throwaway host key, and a throwaway
#                         user as the node, reached as "node" through PARALLEL_SSH (one connection
#                         shared by all, as docs/cluster.md advises); NODE_USER, NODE_HOME
#   slurm_start WORK      a one-node Slurm: a munge key, munged, slurmctld and slurmd with their state
#                         under WORK/slurm; SLURM_CONF
#   engines_stop          stops what was started and removes the user; run it from an EXIT trap
#   engines_skip_unless_root_and COMMAND...   exits 77 with a message when one cannot start
# Everything is stopped by the id it was started with; nothing else is touched.

engines_started=()

engines_skip_unless_root_and() {
  [ "$(id -u)" -eq 0 ] || { echo "SKIPPED: the engines need root (a user, daemons)"; exit 77; }
  local c
  for c in "$@"; do
    command -v "$c" >/dev/null || {
      echo "SKIPPED: $c is not installed (bash scripts/deps.sh test installs it)"
      exit 77
    }
  done
}

# Waits up to $1 tenths of a second for the command after it to succeed.
engines_wait() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# A port nothing listens on, from the kernel: bash binds nothing itself, so try a few at random.
engines_free_port() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 40000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return 0; }
  done
  return 1
}

# Stops a daemon by the id in its pid file and waits for it to go.
engines_stop_pid_file() {
  local file=$1 pid
  [ -s "$file" ] || return 0
  pid=$(cat "$file")
  kill "$pid" 2>/dev/null || return 0
  engines_wait 100 bash -c "! kill -0 $pid" || kill -KILL "$pid" 2>/dev/null || true
}

ssh_node_start() {
  local work=$1 port
  local ssh=$work/ssh
  mkdir -p "$ssh"
  chmod 755 "$work"
  NODE_USER=wmnode$$
  useradd --create-home --shell /bin/bash "$NODE_USER" || return 1
  engines_started+=(user)
  # A locked account cannot log in even with a key; "*" has no password and is not locked.
  usermod -p '*' "$NODE_USER"
  NODE_HOME=$(getent passwd "$NODE_USER" | cut -d: -f6)
  ssh-keygen -q -t ed25519 -N '' -f "$ssh/host_key"
  ssh-keygen -q -t ed25519 -N '' -f "$ssh/client_key"
  install -d -m 700 -o "$NODE_USER" -g "$NODE_USER" "$NODE_HOME/.ssh"
  install -m 600 -o "$NODE_USER" -g "$NODE_USER" "$ssh/client_key.pub" "$NODE_HOME/.ssh/authorized_keys"
  mkdir -p /run/sshd
  for _ in 1 2 3 4 5; do
    port=$(engines_free_port) || return 1
    cat >"$ssh/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $port
HostKey $ssh/host_key
PidFile $ssh/sshd.pid
AuthorizedKeysFile .ssh/authorized_keys
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
AllowUsers $NODE_USER
MaxStartups 64
MaxSessions 64
EOF
    /usr/sbin/sshd -f "$ssh/sshd_config" -E "$ssh/sshd.log" </dev/null && break
  done
  engines_wait 50 test -s "$ssh/sshd.pid" || { cat "$ssh/sshd.log" >&2; return 1; }
  engines_started+=("pid:$ssh/sshd.pid")
  cat >"$ssh/config" <<EOF
Host node
  HostName 127.0.0.1
  Port $port
  User $NODE_USER
  IdentityFile $ssh/client_key
  IdentitiesOnly yes
  BatchMode yes
  LogLevel ERROR
  StrictHostKeyChecking accept-new
  UserKnownHostsFile $ssh/known_hosts
  ControlMaster auto
  ControlPath $ssh/master-%C
  ControlPersist 60
EOF
  export PARALLEL_SSH="ssh -F $ssh/config"
  engines_started+=("ssh-master:$ssh/config")
  $PARALLEL_SSH node true || { cat "$ssh/sshd.log" >&2; return 1; }
}

slurm_start() {
  local work=$1
  local s=$work/slurm host
  host=$(hostname -s)
  mkdir -p "$s/state" "$s/spool"
  mungekey --create --keyfile="$s/munge.key" >/dev/null
  chmod 600 "$s/munge.key"
  # --force: munged refuses to run as root, or from a folder others can read, without it.
  munged --force --socket="$s/munge.socket" --key-file="$s/munge.key" --pid-file="$s/munged.pid" \
    --log-file="$s/munged.log" --seed-file="$s/munge.seed" </dev/null >/dev/null 2>&1 || return 1
  engines_wait 50 test -s "$s/munged.pid" || return 1
  engines_started+=("pid:$s/munged.pid")
  cat >"$s/slurm.conf" <<EOF
ClusterName=wmtest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(engines_free_port)
SlurmdPort=$(engines_free_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$s/munge.socket
StateSaveLocation=$s/state
SlurmdSpoolDir=$s/spool
SlurmctldPidFile=$s/slurmctld.pid
SlurmdPidFile=$s/slurmd.pid
SlurmctldLogFile=$s/slurmctld.log
SlurmdLogFile=$s/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
KillWait=10
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=wm Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
  export SLURM_CONF=$s/slurm.conf
  slurmctld -f "$SLURM_CONF" </dev/null >/dev/null 2>&1 || { cat "$s/slurmctld.log" >&2; return 1; }
  engines_wait 50 test -s "$s/slurmctld.pid" || return 1
  engines_started+=("pid:$s/slurmctld.pid")
  slurmd -f "$SLURM_CONF" </dev/null >/dev/null 2>&1 || { cat "$s/slurmd.log" >&2; return 1; }
  engines_wait 50 test -s "$s/slurmd.pid" || return 1
  # Stopped first: the jobs are cancelled while slurmd can still end them.
  engines_started+=("pid:$s/slurmd.pid" slurm-jobs)
  engines_wait 300 bash -c '[ "$(sinfo -h -o %t)" = idle ]' || { tail "$s/slurmctld.log" "$s/slurmd.log" >&2; return 1; }
}

# Waits for a Slurm job (an array too) to leave the queue.
slurm_wait() {
  engines_wait 1800 bash -c "[ -z \"\$(squeue -h -j $1 2>/dev/null)\" ]"
}

engines_stop() {
  local i item
  # In the reverse order of starting: jobs before the daemons that run them, the user last.
  for ((i = ${#engines_started[@]} - 1; i >= 0; i--)); do
    item=${engines_started[i]}
    case $item in
      slurm-jobs)
        # This cluster is the test's own: every job in it is the test's.
        scancel --quiet --user=root 2>/dev/null || true
        engines_wait 200 bash -c '[ -z "$(squeue -h 2>/dev/null)" ]' || true
        ;;
      pid:*) engines_stop_pid_file "${item#pid:}" ;;
      # The connection that ssh keeps open for the others (ControlPersist) is a process of ours.
      ssh-master:*) ssh -F "${item#ssh-master:}" -O exit node 2>/dev/null || true ;;
      user)
        # The node's sessions are this test's alone: the throwaway user has no others.
        local pids
        pids=$(pgrep -u "$NODE_USER" || true)
        [ -z "$pids" ] || { kill $pids 2>/dev/null || true; sleep 0.5; }
        userdel --remove "$NODE_USER" 2>/dev/null || true
        ;;
    esac
  done
  engines_started=()
}
