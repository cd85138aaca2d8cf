// The fastest a page can come in by quillo's protocol: one HTTP/1.0 GET on
// port 80 and a bare loop of 1025-byte receives, the bytes dropped. The
// limit that bench/cli_run.sh holds a whole quillo-cli run against.
//   quillo_recv_loop IPV4-ADDRESS PATH

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(80);
  if (argc != 3 || inet_pton(AF_INET, argv[1], &address.sin_addr) != 1) {
    std::fprintf(stderr, "usage: quillo_recv_loop IPV4-ADDRESS PATH\n");
    return 2;
  }
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    std::perror("connect");
    return 1;
  }
  const std::string request = std::string("GET ") + argv[2] + " HTTP/1.0\r\n\r\n";
  if (send(fd, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size())) {
    std::perror("send");
    return 1;
  }
  char area[1025];  // the receive size of quillo's fetch
  std::size_t total = 0;
  for (ssize_t got; (got = recv(fd, area, sizeof area, 0)) != 0;
       total += static_cast<std::size_t>(got)) {
    if (got < 0) {
      std::perror("recv");
      return 1;
    }
  }
  close(fd);
  std::printf("%zu bytes\n", total);
  return 0;
}
