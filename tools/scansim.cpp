// Simulated network scanners for the isolated test network (native Linux).
//
// Listens for discovery queries on UDP 3121 and answers them as told over a
// control port: from which local address, how many datagrams, how large,
// after what delay and how far apart. As a real scanner does, each rule
// answers every query that reaches it, and only those: a query that came in
// on an interface holding the rule's address (a device hears its own
// network only). Every query is logged with its bytes, its source, the
// destination address it was sent to and the interface it came in on.
//
//   scansim [--rule ADDR:COUNT:SIZE:DELAYMS[:GAPUS] ...] [--fault-script PATH]
//
// Control port 3120, one text datagram per command, answered with "ok" or
// the requested text:
//   reset                        forget rules and log
//   rule ADDR COUNT SIZE DELAYMS [GAPUS [direct]]
//                                add a rule (GAPUS: microseconds between
//                                datagrams; direct: answer only a query sent
//                                to ADDR itself, never a broadcast, as behind
//                                client isolation or with discovery off)
//   log                          "N" then one line per query:
//                                "SRC:PORT DST LEN HEXBYTES IFNAME"
//   fault route|links MS         the program's default route, or every link of
//                                its namespace, taken away (by --fault-script)
//                                until "fault restore", until the file that
//                                $CONNSETUP_FAULT_RELEASE names appears (a
//                                test that cannot reach the control port
//                                with every link down makes it), or for MS ms
//                                at most
//   fault restore                the program's network as it was
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int kQueryPort = 3121;
constexpr int kControlPort = 3120;
constexpr size_t kMaxLog = 1000;
constexpr int kMaxCount = 2000;
constexpr int kMaxSize = 65000;
constexpr int kMaxFaultMs = 60000;

// The rig's script that takes the program's network away and puts it back.
std::string g_faultScript;
// Raised by every fault command: a pending restore of an earlier fault is void.
std::atomic<int> g_faultGeneration{0};

struct Rule
{
    std::string address;
    int count;
    int size;
    int delayMs;
    int gapUs;
    bool directOnly;
};

struct State
{
    std::vector<Rule> rules;
    std::vector<std::string> log;
};

int UdpSocket(in_addr_t address, int port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
    {
        perror("scansim: bind");
        close(fd);
        return -1;
    }
    return fd;
}

bool ParseRule(std::istream& in, Rule& rule)
{
    if (!(in >> rule.address >> rule.count >> rule.size >> rule.delayMs))
        return false;
    std::string gap, mode;  // optional
    in >> gap >> mode;
    rule.directOnly = mode == "direct";
    char* end = nullptr;
    rule.gapUs = gap.empty() ? 0 : static_cast<int>(std::strtol(gap.c_str(), &end, 10));
    in_addr probe{};
    return (gap.empty() || *end == '\0') && (mode.empty() || rule.directOnly) &&
           inet_pton(AF_INET, rule.address.c_str(), &probe) == 1 && rule.count >= 0 && rule.count <= kMaxCount &&
           rule.size >= 0 && rule.size <= kMaxSize && rule.delayMs >= 0 && rule.delayMs <= 10000 && rule.gapUs >= 0 &&
           rule.gapUs <= 1000000;
}

// True when the interface numbered index holds address.
bool InterfaceHolds(unsigned index, const std::string& address)
{
    in_addr wanted{};
    inet_pton(AF_INET, address.c_str(), &wanted);
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool holds = false;
    for (const ifaddrs* a = list; a && !holds; a = a->ifa_next)
        holds = a->ifa_addr && a->ifa_addr->sa_family == AF_INET &&
                reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr == wanted.s_addr &&
                if_nametoindex(a->ifa_name) == index;
    freeifaddrs(list);
    return holds;
}

// Sends a rule's answers from its address to the querying socket.
void Answer(Rule rule, sockaddr_in to)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(rule.delayMs));
    in_addr from{};
    inet_pton(AF_INET, rule.address.c_str(), &from);
    const int fd = UdpSocket(from.s_addr, 0);
    if (fd < 0)
        return;
    std::vector<char> payload(static_cast<size_t>(rule.size), 'A');
    for (int i = 0; i < rule.count; ++i)
    {
        if (i && rule.gapUs)
            std::this_thread::sleep_for(std::chrono::microseconds(rule.gapUs));
        sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    close(fd);
}

void OnQuery(int fd, State& state)
{
    char data[2048];
    char control[256];
    sockaddr_in from{};
    iovec iov{data, sizeof data};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t got = recvmsg(fd, &msg, 0);
    if (got < 0)
        return;

    in_addr dst{};
    unsigned arrivedOn = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
        {
            dst = reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_addr;
            arrivedOn = static_cast<unsigned>(reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_ifindex);
        }

    std::ostringstream line;
    char src[INET_ADDRSTRLEN] = {};
    char dstText[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, src, sizeof src);
    inet_ntop(AF_INET, &dst, dstText, sizeof dstText);
    char ifBuffer[IF_NAMESIZE] = {};
    const char* ifName = if_indextoname(arrivedOn, ifBuffer) ? ifBuffer : "?";
    line << src << ':' << ntohs(from.sin_port) << ' ' << dstText << ' ' << got << ' ';
    static const char kHex[] = "0123456789abcdef";
    for (ssize_t i = 0; i < got; ++i)
    {
        const auto byte = static_cast<unsigned char>(data[i]);
        line << kHex[byte >> 4] << kHex[byte & 15];
    }
    line << ' ' << ifName;
    if (state.log.size() < kMaxLog)
        state.log.push_back(line.str());
    std::fprintf(stderr, "scansim: query %s\n", line.str().c_str());

    for (const Rule& rule : state.rules)
        if (InterfaceHolds(arrivedOn, rule.address) && (!rule.directOnly || rule.address == dstText))
            std::thread(Answer, rule, from).detach();
}

// Runs the fault script with one argument and waits for it; true when it succeeded.
bool RunFaultScript(const char* what)
{
    if (g_faultScript.empty())
        return false;
    const pid_t pid = fork();
    if (pid == 0)
    {
        execl(g_faultScript.c_str(), g_faultScript.c_str(), what, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// True once the test asked for the network back through the release file.
bool ReleaseAsked()
{
    const char* release = std::getenv("CONNSETUP_FAULT_RELEASE");
    return release && unlink(release) == 0;
}

// A fault never outlives its time, even when nobody can ask for the network back.
void RestoreLater(int generation, int ms)
{
    for (int waited = 0; waited < ms && g_faultGeneration == generation && !ReleaseAsked(); waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (g_faultGeneration == generation)
        RunFaultScript("restore");
}

// Checks a fault command; the fault itself is made by MakeFault, once the
// reply has gone: with every link down it could not arrive.
std::string CheckFault(std::istream& in, std::string& kind, int& ms)
{
    in >> kind >> ms;
    if (kind == "restore")
        return RunFaultScript("restore") ? "ok" : "error: the network was not restored";
    if ((kind != "route" && kind != "links") || ms <= 0 || ms > kMaxFaultMs || g_faultScript.empty())
        return "error: fault route|links MS, or fault restore";
    return "ok";
}

void MakeFault(const std::string& kind, int ms)
{
    const int generation = ++g_faultGeneration;
    ReleaseAsked();  // a release left from before is no answer to this fault
    if (!RunFaultScript(kind.c_str()))
    {
        std::fprintf(stderr, "scansim: the fault %s could not be made\n", kind.c_str());
        RunFaultScript("restore");
        return;
    }
    std::thread(RestoreLater, generation, ms).detach();
}

void OnControl(int fd, State& state)
{
    char data[512];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t got = recvfrom(fd, data, sizeof data - 1, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got < 0)
        return;
    data[got] = '\0';
    std::istringstream in(data);
    std::string command;
    in >> command;

    std::string reply = "ok";
    std::string fault;
    int faultMs = 0;
    if (command == "reset")
    {
        state = State{};
    }
    else if (command == "rule")
    {
        Rule rule{};
        if (ParseRule(in, rule))
            state.rules.push_back(rule);
        else
            reply = "error: rule ADDR COUNT SIZE DELAYMS [GAPUS [direct]]";
    }
    else if (command == "log")
    {
        std::ostringstream out;
        out << state.log.size() << '\n';
        for (const std::string& line : state.log)
            out << line << '\n';
        reply = out.str().substr(0, 60000);
    }
    else if (command == "fault")
    {
        ++g_faultGeneration;  // whatever comes, an earlier fault's timer is void
        reply = CheckFault(in, fault, faultMs);
    }
    else
    {
        reply = "error: unknown command";
    }
    sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    if (reply == "ok" && (fault == "route" || fault == "links"))
        MakeFault(fault, faultMs);
}
}  // namespace

int main(int argc, char** argv)
{
    State state;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        if (std::strcmp(argv[i], "--fault-script") == 0)
        {
            g_faultScript = argv[i + 1];
            continue;
        }
        std::string text = argv[i + 1];
        for (char& c : text)
            if (c == ':')
                c = ' ';
        std::istringstream in(text);
        Rule rule{};
        if (std::strcmp(argv[i], "--rule") != 0 || !ParseRule(in, rule))
        {
            std::fprintf(stderr, "usage: scansim [--rule ADDR:COUNT:SIZE:DELAYMS[:GAPUS] ...] [--fault-script PATH]\n");
            return 2;
        }
        state.rules.push_back(rule);
    }

    const int query = UdpSocket(htonl(INADDR_ANY), kQueryPort);
    const int control = UdpSocket(htonl(INADDR_ANY), kControlPort);
    if (query < 0 || control < 0)
        return 1;
    const int on = 1;
    setsockopt(query, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    std::fprintf(stderr, "scansim: listening on %d, control on %d\n", kQueryPort, kControlPort);

    pollfd fds[2] = {{query, POLLIN, 0}, {control, POLLIN, 0}};
    for (;;)
    {
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[0].revents & POLLIN)
            OnQuery(query, state);
        if (fds[1].revents & POLLIN)
            OnControl(control, state);
    }
}
