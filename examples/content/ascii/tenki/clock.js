// Shows the time of the last update in the status line.
function showUpdate() {
  window.status = "Updated 1998/11/22 05:00";
}
window.onload = showUpdate;
