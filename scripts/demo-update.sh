#!/bin/sh
# A real update run of VantorUpdater under Wine, in a Wine prefix of its own.
#
#   scripts/demo-update.sh [build folder]      (default: build)
#
# It needs a MinGW build (cmake --preset mingw && cmake --build --preset mingw)
# and wine and Xvfb installed. It makes a fresh prefix in <build>/demo/prefix
# and installs a demo installation there:
#   C:\Vantor                     the program folder ("exec" in
#                                 HKCU\Software\Vantor names C:\Vantor\Vantor.exe)
#     Vantor.exe                  stand-in main program
#     VantorUpdater.exe           an older updater (product version 2.0.9.9)
#     Vantor.jar, swt.jar,        the main program's jars and the probe jar
#       utils.jar                 (empty files)
#     jre\bin\java.exe, javaw.exe stand-in Java runtime; java.exe answers
#                                 -version like a Java 8 runtime
#     jre\bin\client\jvm.dll,     its client and server JVMs (empty files)
#       jre\bin\server\jvm.dll
#   <AppData>\Vantor\plugins\vupdater
#     plugin.properties, vupdater_<version>.jar, vupdater.ext.jar (empty),
#     VantorUpdater.exe (the current updater, as the plug-in brings it)
# The stand-ins record their command lines (<program>.calls) and exit at once;
# the stand-in javaw.exe also records its working folder (javaw.exe.folders).
# A loopback HTTP server (python3) stands in for the runtime download server
# and serves the runtime descriptor java2.json; VANTOR_RUNTIME_SERVER points
# the updater at it.
#
# Then it runs the updater twice:
#   1. the plug-in folder's copy, as the Java application starts it: without
#      arguments and with the program folder as its working folder. The
#      runtime is chosen (its version asked, the descriptor fetched, the
#      client JVM ranked above the server JVM), the ext updater runs as the
#      user, the elevated copy replaces the older installed updater and runs
#      the Java updater;
#   2. C:\Vantor\VantorUpdater.exe /runVantor from the program folder: the
#      runtime is chosen again, the elevated copy runs the Java updater, then
#      the main program is started with /noupdate.
# It prints the log of both runs and the command lines the stand-ins saw, and
# for every start of javaw.exe its working folder; for the Java updater it
# resolves each class-path entry (Vantor.jar and swt.jar are relative, so they
# resolve against that working folder, which the elevated copy hands on) and
# ends with exit status 1 when one of them is missing.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
bin="$build/bin"
run="$build/wine/wine-run.sh"
for file in "$run" "$bin/VantorUpdater.exe" "$bin/stand_in.exe"; do
  if [ ! -e "$file" ]; then
    echo "missing $file: build first (cmake --preset mingw && cmake --build --preset mingw)" >&2
    exit 2
  fi
done

demo="$build/demo"
# A prefix left by an earlier demo still has its server running: stop it
# before the prefix goes.
if [ -d "$demo/prefix" ]; then
  WINEPREFIX="$demo/prefix" wineserver -k >/dev/null 2>&1 || true
fi
rm -rf "$demo"
mkdir -p "$demo"
export VANTOR_WINE_PREFIX="$demo/prefix"
prefix="$VANTOR_WINE_PREFIX"
wine_out="$demo/wine-output.txt"

# Runs a program of the prefix; its console output goes to a file, because
# Wine's helper processes keep a pipe open long after the program has ended.
wine_run() {
  "$run" "$@" >>"$wine_out" 2>&1 </dev/null
}

echo "== Making the Wine prefix $prefix (takes a while the first time)"
wine_run cmd /c exit 0

users="$prefix/drive_c/users"
user=$(ls "$users" | grep -v -x -e Public -e crashdump | head -n 1)
profile="$users/$user"
appdata="$profile/AppData/Roaming"
temp="$profile/Temp"
[ -d "$appdata" ] || appdata="$profile/Application Data"
mkdir -p "$temp"

program="$prefix/drive_c/Vantor"
plugin="$appdata/Vantor/plugins/vupdater"
mkdir -p "$program/jre/bin/client" "$program/jre/bin/server" "$plugin"

stand_in() {  # stand_in <path> <config text>
  cp "$bin/stand_in.exe" "$1"
  printf '%s\n' "$2" >"$1.cfg"
}

echo "== Installing the demo installation in C:\\Vantor"
stand_in "$program/Vantor.exe" "exit=0"
stand_in "$program/jre/bin/java.exe" 'stderr=java version "1.8.0_151"\nJava(TM) SE Runtime Environment (build 1.8.0_151-b12)\n
exit=0'
stand_in "$program/jre/bin/javaw.exe" 'record_folder=1
exit=0'
: >"$program/jre/bin/client/jvm.dll"
: >"$program/jre/bin/server/jvm.dll"
: >"$program/Vantor.jar"
: >"$program/swt.jar"
: >"$program/utils.jar"
if [ -e "$bin/version_probe_2099.exe" ]; then
  cp "$bin/version_probe_2099.exe" "$program/VantorUpdater.exe"
  echo "   older installed updater: product version 2.0.9.9"
else
  cp "$bin/VantorUpdater.exe" "$program/VantorUpdater.exe"
  echo "   (no older updater built; the installed one is the current one)"
fi
printf 'plugin.name=vupdater\r\nplugin.version=3.4.1\r\n' >"$plugin/plugin.properties"
: >"$plugin/vupdater_3.4.1.jar"
: >"$plugin/vupdater.ext.jar"
cp "$bin/VantorUpdater.exe" "$plugin/VantorUpdater.exe"
wine_run reg add 'HKCU\Software\Vantor' /v exec /t REG_SZ /d 'C:\Vantor\Vantor.exe' /f

echo "== Starting the runtime download server (loopback)"
server="$demo/runtime-server"
mkdir -p "$server/www"
# The server ends by itself once its folder is gone (or after 10 idle minutes),
# so removing the folder stops it, also when the demo fails half-way.
trap 'rm -rf "$server"' EXIT
python3 "$here/tests/support/loopback_http_server.py" --dir "$server" --idle 600 &
i=0
while [ ! -s "$server/port" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
if [ ! -s "$server/port" ]; then
  echo "the loopback server did not start (see $server/server.log)" >&2
  exit 2
fi
port=$(cat "$server/port")
export VANTOR_RUNTIME_SERVER="http://127.0.0.1:$port"
cat >"$server/www/java2.json" <<EOF
{
  "packedJreEbzUrl": "$VANTOR_RUNTIME_SERVER/jre2_packed.ebz",
  "minVersion": "1.8.0"
}
EOF
echo "   $VANTOR_RUNTIME_SERVER/java2.json"

log="$temp/VantorUpdater.log"
rm -f "$log"

# Waits until the elevated server has logged its end (it outlives the client
# by the moment it needs to see the pipe closed).
wait_for_server() {  # wait_for_server <number of server ends expected>
  i=0
  while [ "$(grep -c 'Server is stopped' "$log" 2>/dev/null || true)" -lt "$1" ] && [ $i -lt 300 ]; do
    sleep 0.2
    i=$((i + 1))
  done
}

echo "== Run 1: the plug-in folder's VantorUpdater.exe, working folder C:\\Vantor (as the Java application starts it)"
status=0
(cd "$program" && wine_run "$plugin/VantorUpdater.exe") || status=$?
echo "   client exit code: $status"
wait_for_server 1

echo "== Run 2: C:\\Vantor\\VantorUpdater.exe /runVantor from the program folder"
status=0
(cd "$program" && wine_run 'C:\Vantor\VantorUpdater.exe' /runVantor) || status=$?
echo "   client exit code: $status"
wait_for_server 2
i=0
while [ ! -s "$program/Vantor.exe.calls" ] && [ $i -lt 100 ]; do sleep 0.2; i=$((i + 1)); done

echo
echo "== The log ($log)"
cat "$log" | tr -d '\r'
echo
echo "== Command lines the Java runtime's javaw.exe was started with"
tr -d '\r' <"$program/jre/bin/javaw.exe.calls"
echo
echo "== Working folders of those starts, and the Java updater's class path there"
# The file in the prefix that a Windows path names: X:\a\b is
# <prefix>/dosdevices/x:/a/b.
unix_path() {
  drive=$(printf '%s' "$1" | cut -c1 | tr 'A-Z' 'a-z')
  rest=$(printf '%s' "$1" | cut -c3- | tr '\\' '/')
  printf '%s/dosdevices/%s:%s' "$prefix" "$drive" "$rest"
}
calls="$program/jre/bin/javaw.exe.calls"
folders="$program/jre/bin/javaw.exe.folders"
missing=0
java_updater_runs=0
n=0
[ -f "$calls" ] && n=$(wc -l <"$calls")
i=1
while [ "$i" -le "$n" ]; do
  call=$(sed -n "${i}p" "$calls" | tr -d '\r')
  folder=$(sed -n "${i}p" "$folders" 2>/dev/null | tr -d '\r')
  case "$call" in
    *" ru.vantor.plugins.vupdater.Updater "*) program_name="Java updater" ;;
    *" ru.vantor.plugins.vupdater.ext.Main "*) program_name="ext updater" ;;
    *) program_name="other" ;;
  esac
  printf '%s\n' "$i. $program_name, working folder: ${folder:-(not recorded)}"
  if [ "$program_name" = "Java updater" ]; then
    java_updater_runs=$((java_updater_runs + 1))
    # The class path as the program reads it: the argument after -classpath,
    # its quotes gone.
    class_path=$(printf '%s\n' "$call" |
      sed -n 's/.* -classpath \(.*\) ru\.vantor\.plugins\.vupdater\.Updater .*/\1/p' | tr -d '"')
    old_ifs=$IFS
    IFS=';'
    for entry in $class_path; do
      case "$entry" in
        [A-Za-z]:*) where="$entry" ;;
        *) where="$folder\\$entry" ;;
      esac
      if [ -n "$folder" ] && [ -f "$(unix_path "$where")" ]; then
        printf '%s\n' "   class path $entry: found ($where)"
      else
        printf '%s\n' "   class path $entry: MISSING ($where)"
        missing=$((missing + 1))
      fi
    done
    IFS=$old_ifs
  fi
  i=$((i + 1))
done
if [ "$java_updater_runs" -eq 0 ]; then
  echo "the Java updater was not started"
  missing=$((missing + 1))
fi
echo
echo "== Command line the main program was started with"
if [ -s "$program/Vantor.exe.calls" ]; then tr -d '\r' <"$program/Vantor.exe.calls"; else echo "(not started)"; fi
echo
echo "== Requests the runtime download server received"
cat "$server/requests.log" 2>/dev/null || echo "(none)"
echo
echo "== Installed updater now"
if cmp -s "$program/VantorUpdater.exe" "$bin/VantorUpdater.exe"; then
  echo "C:\\Vantor\\VantorUpdater.exe is the current updater (replaced by run 1)"
else
  echo "C:\\Vantor\\VantorUpdater.exe was not replaced"
fi

# The wrapper keeps the prefix's Wine server running for further programs;
# the demo is over, so it goes (the loopback server goes with the trap).
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true

if [ "$missing" -ne 0 ]; then
  echo "the Java updater's class path does not resolve in its working folder" >&2
  exit 1
fi
