<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>ContainerStop</name>
    <message>
        <source>%1 couldn’t stop %2: %3</source>
        <translation>%1 konnte %2 nicht stoppen: %3</translation>
    </message>
</context>
<context>
    <name>EngineHelpers</name>
    <message>
        <source>This process (%1) holds a container’s published port for its engine; stopping it would break the container. Stop the container instead.</source>
        <translation>Dieser Prozess (%1) hält für seine Container-Engine den veröffentlichten Port eines Containers; ihn zu beenden würde den Container beschädigen. Beenden Sie stattdessen den Container.</translation>
    </message>
</context>
<context>
    <name>Listener</name>
    <message>
        <source>Project not identified — showing process name</source>
        <translation>Projekt nicht erkannt – Prozessname wird angezeigt</translation>
    </message>
    <message>
        <source>Started by %1</source>
        <translation>Gestartet von %1</translation>
    </message>
    <message>
        <source>Runs in the systemd user unit %1</source>
        <translation>Läuft in der systemd-Benutzereinheit %1</translation>
    </message>
    <message>
        <source>%1 container %2 (%3)</source>
        <translation>%1-Container %2 (%3)</translation>
    </message>
    <message>
        <source>Image %1</source>
        <translation>Image %1</translation>
    </message>
    <message>
        <source>Compose project %1, service %2</source>
        <translation>Compose-Projekt %1, Dienst %2</translation>
    </message>
    <message>
        <source>port %1</source>
        <translation>Port %1</translation>
    </message>
</context>
<context>
    <name>ListenerScan</name>
    <message>
        <source>%1 wrote far more than any listing holds; none of it was used.</source>
        <translation>%1 hat weit mehr ausgegeben, als eine Liste je enthält; nichts davon wurde verwendet.</translation>
    </message>
</context>
<context>
    <name>MenuBarIcon</name>
    <message>
        <source>%1 word mark</source>
        <translation>Wortmarke %1</translation>
    </message>
</context>
<context>
    <name>PortRules</name>
    <message>
        <source>Invalid port ‘%1’. Use 1–65535 or an ascending range.</source>
        <translation>Ungültiger Port „%1“. Erlaubt sind 1–65535 oder ein aufsteigender Bereich.</translation>
    </message>
</context>
<context>
    <name>PortServiceError</name>
    <message>
        <source>Couldn’t read listening ports. %1</source>
        <translation>Die lauschenden Ports konnten nicht gelesen werden. %1</translation>
    </message>
    <message>
        <source>Couldn’t stop process: %1.</source>
        <translation>Der Prozess konnte nicht beendet werden: %1.</translation>
    </message>
    <message>
        <source>Port scan timed out. Try refreshing.</source>
        <translation>Die Port-Suche hat zu lange gedauert. Bitte aktualisieren.</translation>
    </message>
    <message>
        <source>This process has exited or changed. Refresh and try again.</source>
        <translation>Dieser Prozess ist beendet oder hat sich geändert. Bitte aktualisieren und erneut versuchen.</translation>
    </message>
    <message>
        <source>Only your own processes can be stopped.</source>
        <translation>Nur eigene Prozesse können beendet werden.</translation>
    </message>
    <message>
        <source>This process has already exited.</source>
        <translation>Dieser Prozess ist bereits beendet.</translation>
    </message>
    <message>
        <source>This process runs outside the process namespace of this program (its /proc shows another one), so it can’t be signalled from here.</source>
        <translation>Dieser Prozess läuft außerhalb des Prozess-Namensraums dieses Programms (sein /proc zeigt einen anderen), daher kann ihm von hier kein Signal gesendet werden.</translation>
    </message>
</context>
<context>
    <name>PortStore</name>
    <message>
        <source>Port scan was interrupted. Try refreshing.</source>
        <translation>Die Port-Suche wurde unterbrochen. Bitte aktualisieren.</translation>
    </message>
    <message>
        <source>Couldn’t stop process: the request was interrupted.</source>
        <translation>Der Prozess konnte nicht beendet werden: Die Anfrage wurde unterbrochen.</translation>
    </message>
    <message>
        <source>Couldn’t open %1: no browser could be started.</source>
        <translation>%1 konnte nicht geöffnet werden: Es ließ sich kein Browser starten.</translation>
    </message>
    <message>
        <source>Couldn’t show the folder %1: no file manager answered.</source>
        <translation>Der Ordner %1 konnte nicht gezeigt werden: Kein Dateimanager hat geantwortet.</translation>
    </message>
    <message>
        <source>Stopped %1 — ports %2 are free.</source>
        <translation>%1 gestoppt — die Ports %2 sind frei.</translation>
    </message>
</context>
<context>
    <name>PortVerdict</name>
    <message>
        <source>Port %1 is free.</source>
        <translation>Port %1 ist frei.</translation>
    </message>
    <message>
        <source>another user’s process</source>
        <translation>einem Prozess eines anderen Benutzers</translation>
    </message>
    <message>
        <source>%1 (PID %2)</source>
        <translation>%1 (PID %2)</translation>
    </message>
    <message>
        <source>%1, started by %2 (PID %3)</source>
        <translation>%1, gestartet von %2 (PID %3)</translation>
    </message>
    <message>
        <source>Port %1 was taken again by %2.</source>
        <translation>Port %1 wurde erneut belegt von %2.</translation>
    </message>
    <message>
        <source>Stop its group instead.</source>
        <translation>Beenden Sie stattdessen seine Gruppe.</translation>
    </message>
</context>
<context>
    <name>ProcessGroup</name>
    <message>
        <source>This group of processes includes another user’s process; nothing was signalled.</source>
        <translation>Diese Prozessgruppe enthält einen Prozess eines anderen Benutzers; es wurde nichts signalisiert.</translation>
    </message>
    <message>
        <source>This group of processes includes Vantu itself or what started it; nothing was signalled.</source>
        <translation>Diese Prozessgruppe enthält Vantu selbst oder das, was es gestartet hat; es wurde nichts signalisiert.</translation>
    </message>
    <message>
        <source>This group of processes includes the shell of a terminal (%1, PID %2); stop the server alone instead.</source>
        <translation>Diese Prozessgruppe enthält die Shell eines Terminals (%1, PID %2); beende stattdessen nur den Server.</translation>
    </message>
    <message>
        <source>This process’s group began outside the process namespace Vantu runs in, so its members can’t be told; nothing was signalled.</source>
        <translation>Die Gruppe dieses Prozesses begann außerhalb des Prozess-Namensraums, in dem Vantu läuft, daher sind ihre Mitglieder nicht erkennbar; es wurde kein Signal gesendet.</translation>
    </message>
    <message>
        <source>This group of processes includes %1 (PID %2), which holds a container’s published port for its engine; stop the container instead.</source>
        <translation>Diese Prozessgruppe enthält %1 (PID %2), der für seine Container-Engine den veröffentlichten Port eines Containers hält; beenden Sie stattdessen den Container.</translation>
    </message>
    <message numerus="yes">
        <source>%1 (PID %2, %n processes)</source>
        <translation>
            <numerusform>%1 (PID %2, %n Prozess)</numerusform>
            <numerusform>%1 (PID %2, %n Prozesse)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ProcessUsage</name>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 Min.</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 Std. %2 Min.</translation>
    </message>
    <message>
        <source>%1 d %2 h</source>
        <translation>%1 T. %2 Std.</translation>
    </message>
    <message>
        <source>Running for %1</source>
        <translation>Läuft seit %1</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 GB</translation>
    </message>
</context>
<context>
    <name>ProjectMetadata</name>
    <message>
        <source>Project folder selected by you</source>
        <translation>Von Ihnen gewählter Projektordner</translation>
    </message>
    <message>
        <source>Name from package.json</source>
        <translation>Name aus package.json</translation>
    </message>
    <message>
        <source>Folder name (inferred) — choose a project folder to correct it</source>
        <translation>Ordnername (vermutet) – wähle einen Projektordner, um ihn zu korrigieren</translation>
    </message>
</context>
<context>
    <name>SettingsStore</name>
    <message>
        <source>Couldn’t save settings: %1.</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden: %1.</translation>
    </message>
    <message>
        <source>Couldn’t read the settings (line %1); using the defaults. The file will be kept as %2.</source>
        <translation>Die Einstellungen konnten nicht gelesen werden (Zeile %1); es gelten die Standardwerte. Die Datei wird als %2 aufbewahrt.</translation>
    </message>
    <message>
        <source>Couldn’t read the settings; using the defaults. The file will be kept as %1.</source>
        <translation>Die Einstellungen konnten nicht gelesen werden; es gelten die Standardwerte. Die Datei wird als %1 aufbewahrt.</translation>
    </message>
</context>
<context>
    <name>StopPlan</name>
    <message>
        <source>%1 started again: its restart policy brings it back.</source>
        <translation>%1 läuft wieder: Seine Neustart-Richtlinie startet ihn neu.</translation>
    </message>
</context>
<context>
    <name>StopTarget</name>
    <message>
        <source>compose project %1</source>
        <translation>Compose-Projekt %1</translation>
    </message>
</context>
<context>
    <name>UrlOpener</name>
    <message>
        <source>xdg-open did not understand the request.</source>
        <translation>xdg-open hat die Anfrage nicht verstanden.</translation>
    </message>
    <message>
        <source>xdg-open could not find it.</source>
        <translation>xdg-open hat es nicht gefunden.</translation>
    </message>
    <message>
        <source>no browser is set up to open it.</source>
        <translation>Kein Browser ist dafür eingerichtet.</translation>
    </message>
    <message>
        <source>the browser failed to open it.</source>
        <translation>Der Browser konnte es nicht öffnen.</translation>
    </message>
    <message>
        <source>xdg-open ended with status %1.</source>
        <translation>xdg-open endete mit Status %1.</translation>
    </message>
    <message>
        <source>Couldn’t open %1: %2</source>
        <translation>%1 konnte nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>xdg-open is not installed.</source>
        <translation>xdg-open ist nicht installiert.</translation>
    </message>
    <message>
        <source>xdg-open was ended by a signal.</source>
        <translation>xdg-open wurde durch ein Signal beendet.</translation>
    </message>
</context>
<context>
    <name>UserUnits</name>
    <message>
        <source>Couldn’t stop %1: %2</source>
        <translation>%1 konnte nicht beendet werden: %2</translation>
    </message>
    <message>
        <source>that is not the name of a service.</source>
        <translation>Das ist nicht der Name eines Dienstes.</translation>
    </message>
    <message>
        <source>the session bus can’t be reached (%1).</source>
        <translation>Der Sitzungsbus ist nicht erreichbar (%1).</translation>
    </message>
</context>
<context>
    <name>vantu-cli</name>
    <message>
        <source>No command given. Try ‘vantu-cli --help’.</source>
        <translation>Kein Befehl angegeben. Siehe „vantu-cli --help“.</translation>
    </message>
    <message>
        <source>Unknown command ‘%1’. Try ‘vantu-cli --help’.</source>
        <translation>Unbekannter Befehl „%1“. Siehe „vantu-cli --help“.</translation>
    </message>
    <message>
        <source>Unknown option ‘%1’ for ‘%2’.</source>
        <translation>Unbekannte Option „%1“ für „%2“.</translation>
    </message>
    <message>
        <source>Invalid port ‘%1’. Use a number from 1 to 65535.</source>
        <translation>Ungültiger Port „%1“. Erlaubt ist eine Zahl von 1 bis 65535.</translation>
    </message>
    <message>
        <source>Unexpected argument ‘%1’ for ‘list’.</source>
        <translation>Unerwartetes Argument „%1“ für „list“.</translation>
    </message>
    <message>
        <source>Name at least one port to stop, e.g. ‘vantu-cli stop 3000’.</source>
        <translation>Nenne mindestens einen Port, z. B. „vantu-cli stop 3000“.</translation>
    </message>
    <message>
        <source>%1 (%2, PID %3)</source>
        <translation>%1 (%2, PID %3)</translation>
    </message>
    <message>
        <source>Port %1: %2</source>
        <translation>Port %1: %2</translation>
    </message>
    <message>
        <source>Nothing is listening on port %1.</source>
        <translation>Auf Port %1 lauscht nichts.</translation>
    </message>
    <message>
        <source>not stopped.</source>
        <translation>nicht beendet.</translation>
    </message>
    <message>
        <source>Port %1 is held by %2, which your discovery settings do not show as a dev server. Add --all to stop it anyway.</source>
        <translation>Port %1 gehört zu %2, den Ihre Sucheinstellungen nicht als Entwicklungsserver zeigen. Mit --all wird er trotzdem gestoppt.</translation>
    </message>
    <message>
        <source>Killed %1 on port %2.</source>
        <translation>%1 auf Port %2 wurde zwangsweise beendet.</translation>
    </message>
    <message>
        <source>Asked %1 to stop on port %2.</source>
        <translation>%1 auf Port %2 wurde zum Stoppen aufgefordert.</translation>
    </message>
    <message>
        <source>Port %1 is still in use after %2 s.</source>
        <translation>Port %1 ist nach %2 s noch belegt.</translation>
    </message>
    <message>
        <source>Port %1 is still in use after %2 s. Try again with --force.</source>
        <translation>Port %1 ist nach %2 s noch belegt. Versuche es erneut mit --force.</translation>
    </message>
    <message>
        <source>Couldn’t write the output: %1.</source>
        <translation>Die Ausgabe konnte nicht geschrieben werden: %1.</translation>
    </message>
    <message>
        <source>Nothing of yours is listening.</source>
        <translation>Kein eigener Prozess lauscht.</translation>
    </message>
    <message>
        <source>No dev servers found.</source>
        <translation>Keine Entwicklungsserver gefunden.</translation>
    </message>
    <message>
        <source>Asked systemd to stop the unit %1 on port %2.</source>
        <translation>systemd wurde gebeten, die Einheit %1 auf Port %2 zu beenden.</translation>
    </message>
    <message numerus="yes">
        <source>Port %1: %n processes of its group still run.</source>
        <translation>
            <numerusform>Port %1: %n Prozess seiner Gruppe läuft noch.</numerusform>
            <numerusform>Port %1: %n Prozesse seiner Gruppe laufen noch.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Port %1: %n processes of its group still run. Try again with --force.</source>
        <translation>
            <numerusform>Port %1: %n Prozess seiner Gruppe läuft noch. Versuchen Sie es erneut mit --force.</numerusform>
            <numerusform>Port %1: %n Prozesse seiner Gruppe laufen noch. Versuchen Sie es erneut mit --force.</numerusform>
        </translation>
    </message>
    <message>
        <source>Unexpected argument ‘%1’ for ‘open’: it opens one port.</source>
        <translation>Unerwartetes Argument ‘%1’ für ‘open’: Es öffnet einen Port.</translation>
    </message>
    <message>
        <source>Name the port to open, e.g. ‘vantu-cli open 3000’.</source>
        <translation>Nenne den Port, der geöffnet werden soll, z. B. ‘vantu-cli open 3000’.</translation>
    </message>
    <message>
        <source>Nothing of yours is listening on port %1.</source>
        <translation>Auf Port %1 lauscht nichts von Ihnen.</translation>
    </message>
    <message>
        <source>Opened %1 (%2) in the browser.</source>
        <translation>%1 (%2) im Browser geöffnet.</translation>
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
        <translation>Aufruf:
  vantu-cli list [--all] [--json]
  vantu-cli stop PORT|ERSTER-LETZTER... [--force] [--all] [--session]
  vantu-cli open PORT
  vantu-cli --help | --version

Listet die Entwicklungsserver, die Sie laufen haben, mit dem Projekt, zu dem jeder gehört, und
beendet sie sicher: nur eigene Prozesse und nur genau den Prozess, der beim Lauschen gefunden
wurde.

list       Zeigt, was die Tray-App zeigen würde, nach Ihren Sucheinstellungen.
  --all    Jeder eigene lauschende Socket, ob Entwicklungsserver oder nicht.
  --json   JSON für Skripte statt einer Tabelle (Format 1, beschrieben in vantu-cli(1)), mit der
           Webadresse jedes Servers (https, wenn er einen TLS-Handshake beantwortet), den
           gebundenen Adressen, Startzeit, Laufzeit und Speicher.

stop       Sendet SIGTERM an jeden Prozess, der auf PORT lauscht, wartet dann bis zu 3 Sekunden,
           bis der Port frei wird, und sagt, ob er es wurde.
  --force  Sendet stattdessen SIGKILL.
  --all    Beendet auch eigene Prozesse, die keine Entwicklungsserver sind.
  --session
           Beendet alles, was mit dem Server gestartet wurde, wie Strg+C in seinem Terminal:
           SIGINT (mit --force SIGKILL) an jeden Prozess seiner Prozessgruppe.

open       Öffnet Ihren Server auf PORT im Browser, über xdg-open.

Exit-Status: 0 erledigt; 1 nichts zu tun (kein passender Prozess); 2 eine Suche, ein Beenden
oder das Öffnen ist fehlgeschlagen, oder ein Port wurde nicht frei; 64 die Befehlszeile war
unverständlich.
</translation>
    </message>
    <message>
        <source>Nothing is listening on ports %1–%2.</source>
        <translation>Auf den Ports %1–%2 lauscht nichts.</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Asked %1 to kill %2 on port %3.</source>
        <translation>%1 wurde gebeten, %2 auf Port %3 zu beenden (SIGKILL).</translation>
    </message>
    <message>
        <source>Asked %1 to stop %2 on port %3.</source>
        <translation>%1 wurde gebeten, %2 auf Port %3 zu stoppen.</translation>
    </message>
    <message>
        <source>Port %1 is hidden by your discovery settings. Add --all to stop its container anyway.</source>
        <translation>Port %1 ist durch Ihre Erkennungseinstellungen ausgeblendet. Fügen Sie --all hinzu, um seinen Container trotzdem zu stoppen.</translation>
    </message>
</context>
<context>
    <name>vantu::AppDelegate</name>
    <message>
        <source>Vantu — Development ports</source>
        <translation>Vantu – Entwicklungs-Ports</translation>
    </message>
    <message>
        <source>Click to look for development servers</source>
        <translation>Klicken, um nach Entwicklungsservern zu suchen</translation>
    </message>
    <message>
        <source>No development servers running</source>
        <translation>Keine Entwicklungsserver laufen</translation>
    </message>
    <message numerus="yes">
        <source>%n development server(s) running</source>
        <translation>
            <numerusform>%n Entwicklungsserver läuft</numerusform>
            <numerusform>%n Entwicklungsserver laufen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vantu::DiscoveryPreferencesView</name>
    <message>
        <source>Discovery</source>
        <translation>Suche</translation>
    </message>
    <message>
        <source>Detect dev servers on any port</source>
        <translation>Server auf jedem Port erkennen</translation>
    </message>
    <message>
        <source>Hide rules override includes. Explicit includes can show any listener you own.</source>
        <translation>Ausblenden hat Vorrang vor Einschließen. Eingeschlossene Ports zeigen jeden eigenen lauschenden Prozess.</translation>
    </message>
    <message>
        <source>12345, 20000-20100</source>
        <translation>12345, 20000-20100</translation>
    </message>
    <message>
        <source>9229, 50000-50100</source>
        <translation>9229, 50000-50100</translation>
    </message>
    <message>
        <source>Always include ports</source>
        <translation>Immer zeigen</translation>
    </message>
    <message>
        <source>Always hide ports</source>
        <translation>Immer ausblenden</translation>
    </message>
    <message>
        <source>Comma-separated ports or ranges. Hide rules take priority. Includes can show any listener you own.</source>
        <translation>Ports oder Bereiche, durch Kommas getrennt. Ausblenden hat Vorrang. Eingeschlossene Ports zeigen jeden eigenen lauschenden Prozess.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
</context>
<context>
    <name>vantu::PopoverView</name>
    <message>
        <source>VANTU</source>
        <translation>VANTU</translation>
    </message>
    <message>
        <source>Refreshing ports</source>
        <translation>Ports werden aktualisiert</translation>
    </message>
    <message>
        <source>Discovery settings (%1)</source>
        <translation>Sucheinstellungen (%1)</translation>
    </message>
    <message>
        <source>Discovery settings</source>
        <translation>Sucheinstellungen</translation>
    </message>
    <message>
        <source>Refresh ports (%1)</source>
        <translation>Ports aktualisieren (%1)</translation>
    </message>
    <message>
        <source>Refresh ports</source>
        <translation>Ports aktualisieren</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Vantu beenden</translation>
    </message>
    <message>
        <source>Choose Project Folder…</source>
        <translation>Projektordner wählen …</translation>
    </message>
    <message>
        <source>Use Detected Project</source>
        <translation>Erkanntes Projekt verwenden</translation>
    </message>
    <message>
        <source>Scanning dev ports…</source>
        <translation>Entwicklungs-Ports werden gesucht …</translation>
    </message>
    <message>
        <source>Ports unavailable</source>
        <translation>Ports nicht verfügbar</translation>
    </message>
    <message>
        <source>Automatic discovery is off</source>
        <translation>Die automatische Suche ist aus</translation>
    </message>
    <message>
        <source>Turn On Discovery</source>
        <translation>Suche einschalten</translation>
    </message>
    <message>
        <source>No matching dev servers</source>
        <translation>Keine passenden Entwicklungsserver</translation>
    </message>
    <message>
        <source>Development ports</source>
        <translation>Entwicklungs-Ports</translation>
    </message>
    <message numerus="yes">
        <source>%n dev ports</source>
        <comment>the footer&apos;s count</comment>
        <translation>
            <numerusform>%n Entwicklungs-Port</numerusform>
            <numerusform>%n Entwicklungs-Ports</numerusform>
        </translation>
    </message>
    <message>
        <source>Stop Unit %1</source>
        <translation>Einheit %1 stoppen</translation>
    </message>
    <message numerus="yes">
        <source>Force Quit %1 (%n processes)</source>
        <translation>
            <numerusform>Beenden von %1 erzwingen (%n Prozess)</numerusform>
            <numerusform>Beenden von %1 erzwingen (%n Prozesse)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Stop %1 (%n processes)</source>
        <translation>
            <numerusform>%1 stoppen (%n Prozess)</numerusform>
            <numerusform>%1 stoppen (%n Prozesse)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 (%n processes)</source>
        <translation>
            <numerusform>%1 (%n Prozess)</numerusform>
            <numerusform>%1 (%n Prozesse)</numerusform>
        </translation>
    </message>
    <message>
        <source>Open in Browser</source>
        <translation>Im Browser öffnen</translation>
    </message>
    <message>
        <source>Copy Address</source>
        <translation>Adresse kopieren</translation>
    </message>
    <message>
        <source>Show Project Folder</source>
        <translation>Projektordner zeigen</translation>
    </message>
    <message>
        <source>ports %1</source>
        <translation>Ports %1</translation>
    </message>
    <message numerus="yes">
        <source>Force Stop compose project %1 (%n containers)</source>
        <translation>
            <numerusform>Compose-Projekt %1 erzwungen stoppen (%n Container)</numerusform>
            <numerusform>Compose-Projekt %1 erzwungen stoppen (%n Container)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Stop compose project %1 (%n containers)</source>
        <translation>
            <numerusform>Compose-Projekt %1 stoppen (%n Container)</numerusform>
            <numerusform>Compose-Projekt %1 stoppen (%n Container)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vantu::PopoverWindow</name>
    <message>
        <source>Vantu</source>
        <translation>Vantu</translation>
    </message>
</context>
<context>
    <name>vantu::PortRow</name>
    <message>
        <source>Force quit</source>
        <translation>Beenden erzwingen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stoppen</translation>
    </message>
    <message>
        <source>This process is protected or belongs to another user.</source>
        <translation>Dieser Prozess ist geschützt oder gehört einem anderen Benutzer.</translation>
    </message>
    <message>
        <source>Right-click or press Shift+F10 to choose the project folder.</source>
        <translation>Rechtsklick oder Umschalt+F10, um den Projektordner zu wählen.</translation>
    </message>
    <message>
        <source>Force</source>
        <translation>Erzwingen</translation>
    </message>
    <message>
        <source>Force quit %1 (SIGKILL)</source>
        <translation>Beenden von %1 erzwingen (SIGKILL)</translation>
    </message>
    <message>
        <source>Stop %1</source>
        <translation>%1 stoppen</translation>
    </message>
    <message>
        <source>%1 %2, %3, port %4, PID %5</source>
        <translation>%1: %2, %3, Port %4, PID %5</translation>
    </message>
    <message>
        <source>Open in Browser</source>
        <translation>Im Browser öffnen</translation>
    </message>
    <message>
        <source>Press Enter to open it in the browser, or Shift+F10 for more actions.</source>
        <translation>Eingabetaste öffnet ihn im Browser, Umschalt+F10 bietet weitere Aktionen.</translation>
    </message>
    <message>
        <source> through %1</source>
        <translation> über %1</translation>
    </message>
    <message>
        <source>Still running after its stop</source>
        <translation>Läuft nach dem Stoppen weiter</translation>
    </message>
    <message>
        <source>Still running after SIGTERM</source>
        <translation>Läuft nach SIGTERM weiter</translation>
    </message>
    <message>
        <source>%1 %2, %3, port %4</source>
        <translation>%1: %2, %3, Port %4</translation>
    </message>
</context>
<context>
    <name>vantu::PortStore</name>
    <message>
        <source>Choose Project Folder</source>
        <translation>Projektordner wählen</translation>
    </message>
    <message>
        <source>Use this folder to identify %1 on port %2.</source>
        <translation>Diesen Ordner verwenden, um %1 auf Port %2 zuzuordnen.</translation>
    </message>
    <message>
        <source>Use Project</source>
        <translation>Projekt verwenden</translation>
    </message>
</context>
<context>
    <name>vantu::TrayIcon</name>
    <message>
        <source>Vantu</source>
        <translation>Vantu</translation>
    </message>
    <message>
        <source>Vantu, development ports</source>
        <translation>Vantu, Entwicklungs-Ports</translation>
    </message>
</context>
<context>
    <name>vantu::TrayMenu</name>
    <message>
        <source>Open Vantu</source>
        <translation>Vantu öffnen</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Discovery Settings…</source>
        <translation>Sucheinstellungen …</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Vantu beenden</translation>
    </message>
    <message>
        <source>%1 — Stopping…</source>
        <translation>%1 — Wird gestoppt …</translation>
    </message>
    <message>
        <source>Force</source>
        <translation>Erzwingen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stoppen</translation>
    </message>
</context>
</TS>
