<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>ContainerStop</name>
    <message>
        <source>%1 couldn’t stop %2: %3</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EngineHelpers</name>
    <message>
        <source>This process (%1) holds a container’s published port for its engine; stopping it would break the container. Stop the container instead.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Listener</name>
    <message>
        <source>Project not identified — showing process name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Started by %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Runs in the systemd user unit %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 container %2 (%3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compose project %1, service %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>port %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ListenerScan</name>
    <message>
        <source>%1 wrote far more than any listing holds; none of it was used.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MenuBarIcon</name>
    <message>
        <source>%1 word mark</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PortRules</name>
    <message>
        <source>Invalid port ‘%1’. Use 1–65535 or an ascending range.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PortServiceError</name>
    <message>
        <source>Couldn’t read listening ports. %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Couldn’t stop process: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port scan timed out. Try refreshing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This process has exited or changed. Refresh and try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only your own processes can be stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This process has already exited.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This process runs outside the process namespace of this program (its /proc shows another one), so it can’t be signalled from here.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PortStore</name>
    <message>
        <source>Port scan was interrupted. Try refreshing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Couldn’t stop process: the request was interrupted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Couldn’t open %1: no browser could be started.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Couldn’t show the folder %1: no file manager answered.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped %1 — ports %2 are free.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PortVerdict</name>
    <message>
        <source>Port %1 is free.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>another user’s process</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (PID %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, started by %2 (PID %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port %1 was taken again by %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop its group instead.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProcessGroup</name>
    <message>
        <source>This group of processes includes another user’s process; nothing was signalled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This group of processes includes Vantu itself or what started it; nothing was signalled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This group of processes includes the shell of a terminal (%1, PID %2); stop the server alone instead.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This process’s group began outside the process namespace Vantu runs in, so its members can’t be told; nothing was signalled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This group of processes includes %1 (PID %2), which holds a container’s published port for its engine; stop the container instead.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%1 (PID %2, %n processes)</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ProcessUsage</name>
    <message>
        <source>%1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 d %2 h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Running for %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProjectMetadata</name>
    <message>
        <source>Project folder selected by you</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name from package.json</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Folder name (inferred) — choose a project folder to correct it</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsStore</name>
    <message>
        <source>Couldn’t save settings: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Couldn’t read the settings (line %1); using the defaults. The file will be kept as %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Couldn’t read the settings; using the defaults. The file will be kept as %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StopPlan</name>
    <message>
        <source>%1 started again: its restart policy brings it back.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StopTarget</name>
    <message>
        <source>compose project %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UrlOpener</name>
    <message>
        <source>xdg-open did not understand the request.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>xdg-open could not find it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no browser is set up to open it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the browser failed to open it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>xdg-open ended with status %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Couldn’t open %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>xdg-open is not installed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>xdg-open was ended by a signal.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UserUnits</name>
    <message>
        <source>Couldn’t stop %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>that is not the name of a service.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the session bus can’t be reached (%1).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantu-cli</name>
    <message>
        <source>No command given. Try ‘vantu-cli --help’.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown command ‘%1’. Try ‘vantu-cli --help’.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown option ‘%1’ for ‘%2’.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid port ‘%1’. Use a number from 1 to 65535.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unexpected argument ‘%1’ for ‘list’.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name at least one port to stop, e.g. ‘vantu-cli stop 3000’.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2, PID %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing is listening on port %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port %1 is held by %2, which your discovery settings do not show as a dev server. Add --all to stop it anyway.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Killed %1 on port %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Asked %1 to stop on port %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port %1 is still in use after %2 s.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port %1 is still in use after %2 s. Try again with --force.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Couldn’t write the output: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing of yours is listening.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No dev servers found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Asked systemd to stop the unit %1 on port %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Port %1: %n processes of its group still run.</source>
        <translation>
            <numerusform>Port %1: %n process of its group still runs.</numerusform>
            <numerusform>Port %1: %n processes of its group still run.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Port %1: %n processes of its group still run. Try again with --force.</source>
        <translation>
            <numerusform>Port %1: %n process of its group still runs. Try again with --force.</numerusform>
            <numerusform>Port %1: %n processes of its group still run. Try again with --force.</numerusform>
        </translation>
    </message>
    <message>
        <source>Unexpected argument ‘%1’ for ‘open’: it opens one port.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name the port to open, e.g. ‘vantu-cli open 3000’.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing of yours is listening on port %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opened %1 (%2) in the browser.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage:
  vantu-cli list [--all] [--json]
  vantu-cli stop PORT|FIRST-LAST... [--force] [--all] [--session]
  vantu-cli open PORT
  vantu-cli --help | --version

Lists the development servers you are running, with the project each belongs to, and stops
them safely: only your own processes, and only the very process that was found listening.

list       Shows what the tray app would show, under your discovery settings.
  --all    Every listening socket of yours, dev server or not.
  --json   JSON for scripts instead of a table (format 1, described in vantu-cli(1)), with each
           server’s web address (https when it answers a TLS handshake), bound addresses,
           start time, uptime and memory.

stop       Sends SIGTERM to each process listening on PORT, then waits up to 3 seconds for
           the port to be released and says whether it was.
  --force  Sends SIGKILL instead.
  --all    Also stops processes of yours that are not dev servers.
  --session
           Stops everything started with the server, as Ctrl+C in its terminal would: SIGINT
           (SIGKILL with --force) to every process of its process group.

open       Opens the server of yours on PORT in the browser, through xdg-open.

Exit status: 0 done; 1 nothing to do (no matching listener); 2 a scan, a stop or the opener
failed, or a port was not released; 64 the command line was not understood.
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing is listening on ports %1–%2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Asked %1 to kill %2 on port %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Asked %1 to stop %2 on port %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port %1 is hidden by your discovery settings. Add --all to stop its container anyway.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantu::AppDelegate</name>
    <message>
        <source>Vantu — Development ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click to look for development servers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No development servers running</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n development server(s) running</source>
        <translation>
            <numerusform>%n development server running</numerusform>
            <numerusform>%n development servers running</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vantu::DiscoveryPreferencesView</name>
    <message>
        <source>Discovery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Detect dev servers on any port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide rules override includes. Explicit includes can show any listener you own.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>12345, 20000-20100</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>9229, 50000-50100</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Always include ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Always hide ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Comma-separated ports or ranges. Hide rules take priority. Includes can show any listener you own.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantu::PopoverView</name>
    <message>
        <source>VANTU</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refreshing ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Discovery settings (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Discovery settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh ports (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose Project Folder…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use Detected Project</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scanning dev ports…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ports unavailable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automatic discovery is off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn On Discovery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No matching dev servers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Development ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n dev ports</source>
        <comment>the footer&apos;s count</comment>
        <translation>
            <numerusform>%n dev port</numerusform>
            <numerusform>%n dev ports</numerusform>
        </translation>
    </message>
    <message>
        <source>Stop Unit %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Force Quit %1 (%n processes)</source>
        <translation>
            <numerusform>Force Quit %1 (%n process)</numerusform>
            <numerusform>Force Quit %1 (%n processes)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Stop %1 (%n processes)</source>
        <translation>
            <numerusform>Stop %1 (%n process)</numerusform>
            <numerusform>Stop %1 (%n processes)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 (%n processes)</source>
        <translation>
            <numerusform>%1 (%n process)</numerusform>
            <numerusform>%1 (%n processes)</numerusform>
        </translation>
    </message>
    <message>
        <source>Open in Browser</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy Address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Project Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ports %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Force Stop compose project %1 (%n containers)</source>
        <translation>
            <numerusform>Force Stop compose project %1 (%n container)</numerusform>
            <numerusform>Force Stop compose project %1 (%n containers)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Stop compose project %1 (%n containers)</source>
        <translation>
            <numerusform>Stop compose project %1 (%n container)</numerusform>
            <numerusform>Stop compose project %1 (%n containers)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vantu::PopoverWindow</name>
    <message>
        <source>Vantu</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantu::PortRow</name>
    <message>
        <source>Force quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This process is protected or belongs to another user.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right-click or press Shift+F10 to choose the project folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force quit %1 (SIGKILL)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2, %3, port %4, PID %5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open in Browser</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press Enter to open it in the browser, or Shift+F10 for more actions.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> through %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Still running after its stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Still running after SIGTERM</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2, %3, port %4</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantu::PortStore</name>
    <message>
        <source>Choose Project Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use this folder to identify %1 on port %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use Project</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantu::TrayIcon</name>
    <message>
        <source>Vantu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vantu, development ports</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantu::TrayMenu</name>
    <message>
        <source>Open Vantu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Discovery Settings…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 — Stopping…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
